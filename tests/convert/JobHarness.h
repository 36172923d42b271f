#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <map>

#include "FakeMainParts.h"
#include "FakeSkin.h"
#include "MockAudio.h"
#include "ScriptedDialogs.h"
#include "TempDir.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "shell/WindowJobs.h"
#include "state/MainState.h"

namespace snipwave::test {

// A main state for job-logic tests: fake list, format chooser, skin,
// dialogs and launcher; mocked reader, writer and encoder settings (nice
// mocks simulating real behaviour, see MockAudio.h); a real settings file in
// a temporary folder.
struct JobHarness {
  TempDir dir;
  SettingsStore settings{dir.file("Snipwave.ini")};
  FakeTrackList list;
  FakeFormatChooser format;
  FakeSkinWindow skin;
  ScriptedDialogs dialogs;
  RecordingLauncher launcher;
  ::testing::NiceMock<MockAudioFile2> reader;
  ::testing::NiceMock<MockAudioFile2> writer;
  ::testing::NiceMock<MockLameEnc> encoder;
  EncoderMemory encoderMemory;
  SimulatedReader simReader;
  SimulatedWriter simWriter;
  QStringList calls;  // reader and writer calls in order
  std::map<QString, SimulatedSource> sources;
  MainState state;

  JobHarness() {
    state.SettingsFile = &settings;
    state.AudioFileRead = &reader;
    state.AudioFileWrite = &writer;
    state.AudioFile2LameEnc = &encoder;
    state.lv = &list;
    state.cm_Format = &format;
    state.Dialogs = &dialogs;
    state.Launcher = &launcher;
    skin.BindInto(state);
    encoderMemory.Attach(encoder);
    simReader.log = &calls;
    simReader.sources = [this](const QString& path) {
      auto it = sources.find(path);
      if (it == sources.end()) throw Error("Cannot open \"" + path.toStdString() + "\": no such source");
      return it->second;
    };
    simReader.Attach(reader);
    simWriter.log = &calls;
    simWriter.Attach(writer);
    QDir().mkdir(outFolder());
    settings.WriteString(settings::section::kFormat, settings::key::kDir, outFolder());
  }

  QString outFolder() const { return dir.file("out"); }
  QString outFile(const QString& name) const { return outFolder() + "/" + name; }

  // A listed source: an existing (empty) file the simulated reader knows.
  QString AddRow(const QString& name, std::int32_t begin, std::int32_t end, SimulatedSource source = {}) {
    const QString path = dir.file(name);
    if (!QFileInfo::exists(path)) {
      QFile f(path);
      f.open(QIODevice::WriteOnly);
    }
    if (source.frames == 0) source.frames = std::max<std::int64_t>(end, 1);
    sources[path] = source;
    Timerec& record = state.TrackTable[static_cast<std::size_t>(state.TrackCount)];
    record.FilePath = path;
    record.BeginSample = begin;
    record.EndSample = end;
    record.TotalSamples = static_cast<std::int32_t>(source.frames);
    TrackRowTexts texts;
    texts.caption = name;
    texts.cells[kStatusCell] = "unconverted";
    list.AppendRow(texts);
    ++state.TrackCount;
    return path;
  }

  QString status(int row) const { return list.CellText(row, kStatusCell); }
  QStringList callsMatching(const QString& prefix) const { return calls.filter(QRegularExpression("^" + QRegularExpression::escape(prefix))); }
  int barWidth() { return skin.object("pospb").bounds.right - skin.object("pospb").bounds.left; }
  QString percentText() { return skin.object("showpos").text; }
  bool percentVisible() { return skin.object("showpos").visible; }
};

}  // namespace snipwave::test
