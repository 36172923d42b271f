// Undo and redo on the real window: every edit of the list and its marks,
// by each of its roads, is one step that puts rows, records, selection,
// readouts and the waveform back exactly, and brings them again.
#include <QDir>
#include <QLineEdit>
#include <QMenu>

#include "MainWindowFixture.h"
#include "ToneFiles.h"
#include "../tracks/QStringPrinter.h"
#include "shell/SilenceSplitCommand.h"
#include "shell/TypedMarks.h"
#include "tracks/ListHistory.h"
#include "tracks/TrackListWidget.h"
#include "waveform/WaveformView.h"

namespace snipwave::test {
namespace {

// Everything the user sees of the list.
struct Seen {
  std::vector<Timerec> records;
  std::vector<TrackRowTexts> rows;
  int selected = -1;
  int lastSelected = 0;
  QStringList readouts;  // time, begin, end, alltime
  int bar = 0;
  QString wavePath;
  std::int64_t waveBegin = 0, waveEnd = 0;
  bool operator==(const Seen&) const = default;
};

void ExpectSame(const Seen& a, const Seen& b) {
  EXPECT_TRUE(a.records == b.records) << "records differ";
  ASSERT_EQ(a.rows.size(), b.rows.size());
  for (std::size_t i = 0; i < a.rows.size(); ++i) {
    EXPECT_EQ(a.rows[i].caption, b.rows[i].caption) << i;
    for (int c = 0; c < kTrackCellCount; ++c) EXPECT_EQ(a.rows[i].cells[c], b.rows[i].cells[c]) << i << "/" << c;
  }
  EXPECT_EQ(a.selected, b.selected);
  EXPECT_EQ(a.lastSelected, b.lastSelected);
  EXPECT_EQ(a.readouts, b.readouts);
  EXPECT_EQ(a.bar, b.bar);
  EXPECT_EQ(a.wavePath, b.wavePath);
  EXPECT_EQ(a.waveBegin, b.waveBegin);
  EXPECT_EQ(a.waveEnd, b.waveEnd);
}

class MainWindowUndo : public MainWindowFixture {
 protected:
  Seen Observe() {
    QApplication::processEvents();
    window().RefreshWaveform();  // as its timer would by now
    Seen seen;
    for (int row = 0; row < state().lv->RowCount(); ++row) {
      seen.records.push_back(state().TrackTable[static_cast<std::size_t>(row)]);
      seen.rows.push_back(state().lv->RowTexts(row));
    }
    seen.selected = state().lv->SelectedRow();
    seen.lastSelected = state().LastSelectedRow;
    for (const SkinBinding* text : {&state().time, &state().begin, &state().end, &state().alltime})
      seen.readouts << Shown(*text).text;
    seen.bar = state().pb.GetPosition();
    const WaveformContent& wave = window().waveform->Content();
    seen.wavePath = wave.path;
    seen.waveBegin = wave.begin;
    seen.waveEnd = wave.end;
    return seen;
  }
  void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(window().lv, static_cast<Qt::Key>(key), mods);
  }
  // The row selected and the bar at p, as a click and a drag leave them.
  void Place(int row, int p) {
    state().lv->SelectRow(row);
    state().pb.SetPosition(p);
    window().Commands().SelectRow();
  }
  int RowOf(const QString& caption) {
    for (int row = 0; row < state().lv->RowCount(); ++row)
      if (state().lv->RowTexts(row).caption == caption) return row;
    return -1;
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
  ASSERT_TRUE(window().waveform->isVisible());

  struct Edit {
    const char* step;
    std::function<void()> prepare;  // a selection and a bar position: no edit
    std::function<void()> run;
  };
  const std::vector<Edit> edits = {
      {"Add files", {}, [&] { dialogs->openAnswers.push_back({a, b}); Click("add"); }},
      {"Set begin", [&] { Place(0, 5000); }, [&] { Click("begintime"); }},
      {"Set end", [&] { Place(0, 15000); }, [&] { Key(Qt::Key_E); }},
      {"Set begin", {},
       [&] {
         window().TypedMarkEditor().Open(true);
         window().TypedMarkEditor().Editor()->setText("#30000");
         QTest::keyClick(window().TypedMarkEditor().Editor(), Qt::Key_Return);
       }},
      {"Set end", {}, [&] { window().waveform->MarkDropped(false, 123457); }},  // a handle let go
      {"Split at position", [&] { Place(0, 10000); }, [&] { window().FindMenuItem("SplitHere1")->trigger(); }},
      {"Add files", {}, [&] { emit window().lv->pathsDropped({c}); }},
      {"Split at silences", [&] { Place(RowOf("c.wav"), 0); },
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
  const std::vector<std::function<void()>> undos = {
      [&] { Key(Qt::Key_Z, Qt::ControlModifier); }, [&] { window().FindMenuItem("Undo1")->trigger(); },
      [&] { window().FindMenuItem("Undo2")->trigger(); }};
  const std::vector<std::function<void()>> redos = {
      [&] { Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier); }, [&] { Key(Qt::Key_Y, Qt::ControlModifier); },
      [&] { window().FindMenuItem("Redo1")->trigger(); }, [&] { window().FindMenuItem("Redo2")->trigger(); }};

  const Seen empty = Observe();
  std::size_t turn = 0;
  for (const Edit& edit : edits) {
    SCOPED_TRACE(edit.step);
    if (edit.prepare) edit.prepare();
    const int steps = window().History().Stack().count();
    const Seen before = Observe();
    edit.run();
    const Seen after = Observe();
    ASSERT_NE(before, after);
    ASSERT_EQ(window().History().Stack().count(), steps + 1);
    EXPECT_EQ(MenuText("Undo1"), QString("Undo %1").arg(edit.step));
    EXPECT_EQ(MenuText("Undo2"), MenuText("Undo1"));

    undos[turn % undos.size()]();
    ExpectSame(Observe(), before);
    EXPECT_EQ(MenuText("Redo1"), QString("Redo %1").arg(edit.step));
    redos[turn % redos.size()]();
    ExpectSame(Observe(), after);
    ++turn;
  }
  EXPECT_TRUE(dialogs->infoTexts().isEmpty()) << dialogs->infoTexts().join('|').toStdString();

  // The whole way back to the empty list of the start, and forward again.
  const Seen last = Observe();
  while (window().History().Stack().canUndo()) Key(Qt::Key_Z, Qt::ControlModifier);
  ExpectSame(Observe(), empty);
  EXPECT_EQ(MenuText("Undo1"), "Undo");
  EXPECT_FALSE(window().FindMenuItem("Undo1")->isEnabled());
  while (window().History().Stack().canRedo()) Key(Qt::Key_Y, Qt::ControlModifier);
  ExpectSame(Observe(), last);
}

TEST_F(MainWindowUndo, RefusedWhilePlayingAndNotRecordedWithoutAnEdit) {
  dialogs->openAnswers.push_back({ToneAndSilence(files, "a", {3.0})});
  Click("add");
  Place(0, 10000);
  Click("begintime");
  // Playing and stopping changes the status cell only: no step of its own.
  Click("play");
  ASSERT_TRUE(state().Playing);
  Key(Qt::Key_Z, Qt::ControlModifier);
  window().FindMenuItem("Undo1")->trigger();
  EXPECT_EQ(state().TrackTable[0].BeginSample, 3 * kToneRate / 2);
  EXPECT_EQ(state().lv->RowCount(), 1);
  Click("stop");
  EXPECT_EQ(window().History().Stack().count(), 2);
  Key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(state().TrackTable[0].BeginSample, 0);
  EXPECT_EQ(MenuText("Undo1"), "Undo Add files");
}

TEST_F(MainWindowUndo, TheEditButtonOpensTheEditMenuBelowIt) {
  EXPECT_TRUE(window().Dispatch().Names().contains("edit"));
  Click("edit");
  ASSERT_TRUE(window().EditMenu->isVisible());
  EXPECT_EQ(window().EditMenu->pos(), window().mapToGlobal(QPoint(228, 30)));
  window().EditMenu->close();
}

}  // namespace
}  // namespace snipwave::test
