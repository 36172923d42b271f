#pragma once

#include <QFile>
#include <QFileInfo>

#include "FakeMainParts.h"
#include "QStringPrinter.h"
#include "FakeSkin.h"
#include "MockAudioFile2.h"
#include "ScriptedDialogs.h"
#include "TempDir.h"
#include "state/MainState.h"
#include "tracks/TrackListCommands.h"
#include "tracks/TrackListWidget.h"
#include "tracks/TrackRow.h"

namespace snipwave::test {

// A main state wired to the real list widget (offscreen), a skin window of
// fakes, scripted dialogs, a recording launcher, a counting pump and a
// scripted reader; plus the commands under test.
struct TrackBench {
  MainState state;
  TrackListWidget lv;
  FakeSkinWindow skin;
  ScriptedDialogs dialogs;
  RecordingLauncher launcher;
  CountingPump pump;
  ScriptedReader reader;
  TempDir dir;
  int pictureHidden = 0;
  QStringList folderTexts;
  TrackListCommands commands{state};

  TrackBench() {
    skin.BindInto(state);
    state.lv = &lv;
    state.AudioFileRead = &reader;
    state.Dialogs = &dialogs;
    state.Launcher = &launcher;
    state.MessagePump = &pump;
    state.HideStartupPicture = [this] { ++pictureHidden; };
    state.ShowOutputFolderText = [this](const QString& t) { folderTexts << t; };
  }

  FakeSkinObject& obj(const QString& name) { return skin.object(name); }
  QString shown(const QString& name) { return skin.object(name).shownText; }
  void clearSkinLogs() {
    for (const char* n : {"pb", "time", "begin", "end", "alltime"}) skin.object(n).log.clear();
  }

  // A file of `bytes` bytes (sparse) the reader knows with these facts.
  QString knownFile(const QString& name, int durationMs, int lengthSamples, qint64 bytes = 1000) {
    const QString path = makeFile(name, bytes);
    reader.known[path.toStdString()] = {durationMs, lengthSamples};
    return path;
  }
  QString makeFile(const QString& name, qint64 bytes = 1000) {
    const QString path = dir.file(name);
    QFileInfo(path).dir().mkpath(".");
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.resize(bytes);
    return path;
  }

  // Puts a row and its record straight in, as an add would leave them.
  void seedRow(const QString& path, int totalMs, int totalSamples) {
    const int row = lv.RowCount();
    state.TrackTable[static_cast<std::size_t>(row)] = NewTrackRecord(path, totalMs, totalSamples);
    lv.AppendRow(NewTrackRowTexts(QFileInfo(path).fileName(), totalMs, "1.00MB"));
    state.TrackCount = lv.RowCount();
  }
  // Rows "t0.mp3".."t<n-1>.mp3" with (i+1) seconds each, 44.1 kHz.
  void seedRows(int n) {
    for (int i = 0; i < n; ++i) seedRow(QString("/music/t%1.mp3").arg(i), (i + 1) * 1000, (i + 1) * 44100);
  }

  // True when every row i shows the file of record i.
  bool rowsPaired() const {
    for (int i = 0; i < lv.RowCount(); ++i)
      if (lv.RowTexts(i).caption != QFileInfo(state.TrackTable[static_cast<std::size_t>(i)].FilePath).fileName())
        return false;
    return true;
  }
  QStringList captions() const {
    QStringList c;
    for (int i = 0; i < lv.RowCount(); ++i) c << lv.RowTexts(i).caption;
    return c;
  }
};

}  // namespace snipwave::test
