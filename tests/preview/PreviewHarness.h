#pragma once

#include <QCoreApplication>
#include <QFile>
#include <QMetaObject>
#include <functional>

#include "CaughtExceptions.h"
#include "FakeAudio.h"
#include "FakeMainParts.h"
#include "FakeSkin.h"
#include "ScriptedDialogs.h"
#include "preview/PreviewPlayer.h"
#include "preview/RangeMarking.h"
#include "state/MainState.h"

namespace snipwave::test {

// A main state with fake list, skin, dialogs, reader and player, and the
// preview and marking operations on it. Rows are added as the add command
// would leave them.
struct PreviewHarness {
  CallLog log;
  FakeReader reader{log};
  FakePlayer player{log};
  FakeTrackList list;
  ScriptedDialogs dialogs;
  FakeSkinWindow skin;
  MainState state;
  PreviewPlayer preview{state};
  RangeMarking marking{state};

  PreviewHarness() {
    skin.BindInto(state);
    state.lv = &list;
    state.Dialogs = &dialogs;
    state.AudioFileRead = &reader;
    state.AudioPlayer1 = &player;
    preview.InstallPlayerEvents();
    CaughtExceptions().clear();
  }

  FakeSkinObject& pb() { return skin.object("pb"); }
  FakeSkinObject& time() { return skin.object("time"); }
  FakeSkinObject& object(const char* name) { return skin.object(name); }

  // A listed file of `totalSamples` frames lasting `totalMs`; status "unconverted".
  int AddRow(const QString& path, int totalSamples, int totalMs, int channels = 2, unsigned rate = 44100) {
    const int row = state.TrackCount++;
    Timerec& r = state.TrackTable[static_cast<std::size_t>(row)];
    r = Timerec{0, totalSamples, totalSamples, totalMs, totalMs / 1000, path};
    TrackRowTexts texts;
    texts.caption = path.section('/', -1);
    texts.cells = {"  00:00:00 - x", "  x", "  1.00MB", "unconverted"};
    list.AppendRow(texts);
    reader.files[QFile::encodeName(path).toStdString()] = FakeFile{totalSamples, totalMs, rate, channels};
    return row;
  }
  QString Status(int row) const { return list.CellText(row, kStatusCell); }
  void SetBar(int p) {  // the user placed the bar (the skin draws it itself)
    pb().position = p;
    pb().shownPosition = p;
  }

  // Runs `f` as an event handler through the application, so an exception
  // reaches the application's hook as it would in the program.
  static void RunAsEvent(std::function<void()> f) {
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(f), Qt::QueuedConnection);
    QCoreApplication::processEvents();
  }
};

}  // namespace snipwave::test
