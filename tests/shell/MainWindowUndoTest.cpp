// Undo and redo on the real window: every edit of the list and its marks,
// by each of its roads, is one step that puts rows, records, selection,
// readouts and the waveform back exactly, and brings them again.
#include <QMenu>

#include "../tracks/QStringPrinter.h"
#include "MainWindowFixture.h"
#include "ToneFiles.h"
#include "shell/SilenceSplitCommand.h"
#include "shell/TypedMarks.h"
#include "tracks/ListHistory.h"
#include "tracks/TrackListWidget.h"
#include "waveform/WaveformView.h"

namespace snipwave::test {
namespace {

class MainWindowUndo : public MainWindowFixture {
 protected:
  // Everything the user sees of the list, a line each.
  QStringList Seen() {
    QApplication::processEvents();
    window().RefreshWaveform();  // as its timer would by now
    QStringList seen;
    for (int row = 0; row < state().lv->RowCount(); ++row) {
      const Timerec& r = state().TrackTable[static_cast<std::size_t>(row)];
      const TrackRowTexts t = state().lv->RowTexts(row);
      seen << QString("%1 %2-%3/%4 %5 %6|%7|%8|%9|%10")
                  .arg(r.FilePath).arg(r.BeginSample).arg(r.EndSample).arg(r.TotalSamples).arg(r.RangeSeconds)
                  .arg(t.caption, t.cells[0], t.cells[1], t.cells[2], t.cells[3]);
    }
    const WaveformContent& wave = window().waveform->Content();
    seen << QString("selected %1 last %2 bar %3 wave %4 %5-%6")
                .arg(state().lv->SelectedRow()).arg(state().LastSelectedRow).arg(state().pb.GetPosition())
                .arg(wave.path).arg(wave.begin).arg(wave.end);
    for (const SkinBinding* text : {&state().time, &state().begin, &state().end, &state().alltime})
      seen << Shown(*text).text;
    return seen;
  }
  void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(window().lv, static_cast<Qt::Key>(key), mods);
  }
  void Place(int row, int p) {  // a click on the row, the bar dragged to p
    state().lv->SelectRow(row);
    state().pb.SetPosition(p);
    window().Commands().SelectRow();
  }
  QString MenuText(const char* name) { return window().FindMenuItem(name)->text(); }

  TempDir files;
};

TEST_F(MainWindowUndo, EveryEditIsOneStepUndoneAndRedoneExactly) {
  const QString a = ToneAndSilence(files, "a", {4.0});
  const QString b = ToneAndSilence(files, "b", {5.0});
  const QString c = ToneAndSilence(files, "c", {1.0, -1.0, 1.0});
  TempDir folder;
  ASSERT_TRUE(QFile::copy(b, folder.file("f.wav")));
  auto menu = [&](const char* item) { return [this, item] { window().FindMenuItem(item)->trigger(); }; };
  const struct {
    const char* step;
    std::function<void()> prepare;  // a selection and a bar position: no edit
    std::function<void()> run;
  } edits[] = {
      {"Add files", {}, [&] { dialogs->openAnswers.push_back({a, b}); Click("add"); }},
      {"Set begin", [&] { Place(0, 5000); }, [&] { Click("begintime"); }},
      {"Set end", [&] { Place(0, 15000); }, [&] { Key(Qt::Key_E); }},
      {"Set begin", [&] { window().TypedMarkEditor().Open(true); },
       [&] { QTest::keyClicks(window().TypedMarkEditor().Editor(), "\b\b\b\b\b\b\b\b\b\b\b#30000\r"); }},
      {"Set end", {}, [&] { window().waveform->MarkDropped(false, 123457); }},  // a handle let go
      {"Split at position", [&] { Place(0, 10000); }, menu("SplitHere1")},
      {"Add files", {}, [&] { emit window().lv->pathsDropped({c}); }},
      {"Split at silences", [&] { Place(3, 0); },
       [&] {
         window().FindMenuItem("SplitSilences1")->trigger();
         QTRY_VERIFY_WITH_TIMEOUT(!window().SilenceSplits().Running(), 20000);
       }},
      {"Move up", [&] { Place(2, 0); }, [&] { Key(Qt::Key_Up, Qt::ControlModifier); }},
      {"Move down", {}, [&] { Click("down"); }},
      {"Remove", [&] { Place(1, 0); }, [&] { Key(Qt::Key_Delete); }},
      {"Add folder", {}, [&] { dialogs->folderAnswers.push_back(folder.path()); Click("folder"); }},
      {"Add files", {}, [&] { window().AddFromCommandLine({a}); }},
      {"Clear", {}, [&] { Click("clear"); }},
  };
  // Undo and redo by each of their roads in turn: keys, the Edit menu, the list's menu.
  const std::vector<std::function<void()>> undos = {[&] { Key(Qt::Key_Z, Qt::ControlModifier); }, menu("Undo1"),
                                                    menu("Undo2")};
  const std::vector<std::function<void()>> redos = {
      [&] { Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier); }, [&] { Key(Qt::Key_Y, Qt::ControlModifier); },
      menu("Redo1"), menu("Redo2")};

  const QStringList empty = Seen();
  std::size_t turn = 0;
  for (const auto& edit : edits) {
    SCOPED_TRACE(edit.step);
    if (edit.prepare) edit.prepare();
    const int steps = window().History().Stack().count();
    const QStringList before = Seen();
    edit.run();
    const QStringList after = Seen();
    ASSERT_NE(before, after);
    ASSERT_EQ(window().History().Stack().count(), steps + 1);
    EXPECT_EQ(MenuText("Undo1"), QString("Undo %1").arg(edit.step));
    EXPECT_EQ(MenuText("Undo2"), MenuText("Undo1"));
    undos[turn % undos.size()]();
    EXPECT_EQ(Seen(), before);
    EXPECT_EQ(MenuText("Redo1"), QString("Redo %1").arg(edit.step));
    redos[turn % redos.size()]();
    EXPECT_EQ(Seen(), after);
    ++turn;
  }
  EXPECT_EQ(dialogs->infoTexts(), QStringList{});

  // The whole way back to the empty list of the start, and forward again.
  const QStringList last = Seen();
  while (window().History().Stack().canUndo()) Key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Seen(), empty);
  EXPECT_FALSE(window().FindMenuItem("Undo1")->isEnabled());
  while (window().History().Stack().canRedo()) Key(Qt::Key_Y, Qt::ControlModifier);
  EXPECT_EQ(Seen(), last);
}

TEST_F(MainWindowUndo, RefusedWhilePlayingAddingOrConvertingAndTheEditButtonOpensTheMenuBelowIt) {
  dialogs->openAnswers.push_back({ToneAndSilence(files, "a", {3.0})});
  Click("add");
  Place(0, 10000);
  Click("begintime");
  // Playing and stopping changes the status cell only: no step of its own.
  Click("play");
  ASSERT_TRUE(state().Playing);
  Key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(state().TrackTable[0].BeginSample, 3 * kToneRate / 2);
  Click("stop");
  for (bool MainState::*flag : {&MainState::Converting, &MainState::Adding}) {  // a job, an add
    state().*flag = true;
    EXPECT_FALSE(window().History().Undo());
    state().*flag = false;
  }
  Click("edit");
  ASSERT_TRUE(window().EditMenu->isVisible());
  EXPECT_EQ(window().EditMenu->pos(), window().mapToGlobal(QPoint(228, 30)));
  EXPECT_EQ(MenuText("Undo1"), "Undo Set begin");
  window().FindMenuItem("Undo1")->trigger();
  EXPECT_EQ(state().TrackTable[0].BeginSample, 0);
  EXPECT_EQ(MenuText("Undo1"), "Undo Add files");
}

}  // namespace
}  // namespace snipwave::test
