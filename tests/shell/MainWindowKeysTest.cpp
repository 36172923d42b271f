// Precise marking on the real window: real key events, mouse on the
// waveform, the typed-mark editor, and files given on the command line.
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QWheelEvent>

#include "Commands.h"
#include "MainWindowFixture.h"
#include "components/skin/SkinSurface.h"
#include "platform/ClockText.h"
#include "platform/MulDiv.h"
#include "preview/RangeMarking.h"
#include "preview/TypedMark.h"
#include "shell/TypedMarks.h"
#include "tracks/TrackListWidget.h"
#include "waveform/WaveformView.h"

using namespace snipwave;
using namespace snipwave::test;

namespace {

class MainWindowKeys : public MainWindowFixture {
 protected:
  void Add(const QStringList& files) {
    dialogs->openAnswers.push_back(files);
    Click("add");
  }
  void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(window().lv, static_cast<Qt::Key>(key), mods);
  }
  const Timerec& Row(int i) { return state().TrackTable[static_cast<std::size_t>(i)]; }
  std::int64_t Position() {
    const int p = state().pb.GetPosition();
    return state().PreciseBar == p && state().PreciseSample >= 0 ? state().PreciseSample
                                                                  : MulDiv64(p, Row(0).TotalSamples, 20000);
  }
};

TEST_F(MainWindowKeys, SelectionKeysInTheListRefreshTheReadoutsAsAClickDoes) {
  Add({ChirpFixture("keys-2s.wav", 2.0, 44100, 1), ChirpFixture("keys-5s.wav", 5.0, 44100, 1)});
  ASSERT_EQ(state().lv->RowCount(), 2);
  window().lv->setFocus();
  const std::vector<std::tuple<int, int, const char*>> steps = {
      {Qt::Key_Down, 1, "00:00:05"}, {Qt::Key_Up, 0, "00:00:02"},     {Qt::Key_End, 1, "00:00:05"},
      {Qt::Key_Home, 0, "00:00:02"}, {Qt::Key_PageDown, 1, "00:00:05"}, {Qt::Key_PageUp, 0, "00:00:02"}};
  for (const auto& [key, row, end] : steps) {
    Key(key);
    EXPECT_EQ(state().lv->SelectedRow(), row) << key;
    EXPECT_EQ(state().LastSelectedRow, row) << key;
    EXPECT_EQ(Shown(state().end).text, end) << key;
  }
  // Typing a name's first letter selects the next row that has it, as a click would.
  Key(Qt::Key_K);
  EXPECT_EQ(state().lv->SelectedRow(), 1);
  EXPECT_EQ(Shown(state().end).text, "00:00:05");
  Key(Qt::Key_Home);
  // A set end after the keys lands in the row the readouts show.
  Key(Qt::Key_Down);
  Key(Qt::Key_Right);
  Key(Qt::Key_E);
  EXPECT_EQ(Row(1).EndSample, 44100);
  EXPECT_EQ(Row(0).EndSample, Row(0).TotalSamples);
}

TEST_F(MainWindowKeys, PositionAndMarkKeysWorkToTheSampleWithTheCommandsRefusals) {
  Add({ChirpFixture("keys-10s.wav", 10.0, 44100, 1)});
  window().lv->setFocus();
  Key(Qt::Key_Right);
  EXPECT_EQ(Position(), 44100);
  EXPECT_EQ(Shown(state().time).text, "00:00:01");
  Key(Qt::Key_Right, Qt::ShiftModifier);
  Key(Qt::Key_Right, Qt::ControlModifier);
  EXPECT_EQ(Position(), 44100 + 4410 + 1152);
  Key(Qt::Key_B);
  EXPECT_EQ(Row(0).BeginSample, 49662);
  EXPECT_EQ(Shown(state().begin).text, "00:00:01");
  for (int i = 0; i < 5; ++i) Key(Qt::Key_Right, Qt::ShiftModifier);
  Key(Qt::Key_BracketRight);
  EXPECT_EQ(Row(0).EndSample, 49662 + 5 * 4410);
  EXPECT_EQ(state().lv->CellText(0, kRangeCell), "  00:00:01 - 00:00:01");
  EXPECT_EQ(Shown(state().alltime).text, "00:00:00");

  // Home/End go to the marks when the list does not claim them.
  window().waveform->setFocus();
  QTest::keyClick(window().waveform, Qt::Key_Home);
  EXPECT_EQ(Position(), 49662);
  QTest::keyClick(window().waveform, Qt::Key_End);
  EXPECT_EQ(Position(), 49662 + 5 * 4410);

  // An end before the begin: set end's message, nothing changes.
  window().lv->setFocus();
  for (int i = 0; i < 3; ++i) Key(Qt::Key_Left);
  EXPECT_EQ(Position(), 0);  // clamped at the start
  Key(Qt::Key_E);
  EXPECT_EQ(dialogs->infoTexts().last(), RangeMarking::kEndBeforeBegin);
  EXPECT_EQ(Row(0).EndSample, 49662 + 5 * 4410);

  // P plays the marked range only: from the begin mark, to rest at the end mark.
  Key(Qt::Key_P);
  ASSERT_TRUE(state().Playing);
  EXPECT_EQ(state().PlayStartSample, 49662);
  Key(Qt::Key_Delete);  // refused while previewing, as "del" is
  EXPECT_EQ(state().lv->RowCount(), 1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !state().Playing; }, 5000)) << "the range play should end by itself";
  EXPECT_EQ(state().lv->CellText(0, kStatusCell), "Stop");

  // Space plays and pauses; while previewing, an arrow seeks the sound.
  Key(Qt::Key_Space);
  ASSERT_TRUE(state().Playing);
  Key(Qt::Key_Right);
  EXPECT_TRUE(state().Playing);
  EXPECT_GE(state().PlayStartSample, 44100);  // one second on from where the timer had the bar
  EXPECT_LT(state().PlayStartSample, 44100 + 22050);
  Key(Qt::Key_Space);
  EXPECT_TRUE(state().Paused);
  Key(Qt::Key_Escape);
  EXPECT_FALSE(state().Playing);

  // Ctrl+O adds files as "add" does; Ctrl+Down moves the row, Delete removes it.
  dialogs->openAnswers.push_back({ChirpFixture("keys-2s.wav", 2.0, 44100, 1)});
  Key(Qt::Key_O, Qt::ControlModifier);
  ASSERT_EQ(state().lv->RowCount(), 2);
  Key(Qt::Key_Down, Qt::ControlModifier);
  EXPECT_TRUE(state().lv->RowTexts(1).caption.startsWith("keys-10s"));
  Key(Qt::Key_Delete);
  EXPECT_EQ(state().lv->RowCount(), 1);
  EXPECT_TRUE(state().lv->RowTexts(0).caption.startsWith("keys-2s"));
}

TEST_F(MainWindowKeys, ZAndShiftZZoomTheWaveformToTheRangeAndBackWithTheExactReadout) {
  Add({ChirpFixture("keys-10s.wav", 10.0, 44100, 1)});
  window().lv->setFocus();
  Key(Qt::Key_Right);
  Key(Qt::Key_Right, Qt::ShiftModifier);
  Key(Qt::Key_B);
  for (int i = 0; i < 3; ++i) Key(Qt::Key_Right);
  Key(Qt::Key_E);
  WaveformView* view = window().waveform;
  window().RefreshWaveform();
  ASSERT_EQ(Row(0).BeginSample, 48510);
  ASSERT_EQ(Row(0).EndSample, 180810);
  EXPECT_EQ(view->ReadoutText(),
            "Position 0:00:04.100   Begin 0:00:01.100   End 0:00:04.100   Length 0:00:03.000 (132300 frames)");

  Key(Qt::Key_Z);
  const double pixel = view->Window().FramesPerPixel();
  EXPECT_NEAR(view->Window().First(), 48510, pixel);
  EXPECT_NEAR(view->Window().FrameAt(view->width() - 2), 180810, pixel);
  // Played from the end mark, the line leaves the view at once: the next page starts at it.
  Key(Qt::Key_Space);
  ASSERT_TRUE(state().Playing);
  EXPECT_TRUE(QTest::qWaitFor([&] { return view->Window().First() >= 180810 - pixel; }, 5000));
  Key(Qt::Key_Escape);
  Key(Qt::Key_Right);  // back to the end mark (the stop put the bar at 0)
  Key(Qt::Key_Right);
  Key(Qt::Key_Right);
  Key(Qt::Key_Right);
  Key(Qt::Key_Right, Qt::ShiftModifier);
  Key(Qt::Key_Z, Qt::ShiftModifier);
  EXPECT_TRUE(view->Window().WholeFile());
  // Neither key ran another command: the marks, the position and the row stay.
  EXPECT_EQ(Row(0).BeginSample, 48510);
  EXPECT_EQ(Row(0).EndSample, 180810);
  EXPECT_EQ(Position(), 180810);
  EXPECT_EQ(state().lv->SelectedRow(), 0);
}

TEST_F(MainWindowKeys, HandleDragAndTypedMarksLandOnTheExactSample) {
  Add({ChirpFixture("keys-10s.wav", 10.0, 44100, 1)});
  WaveformView* view = window().waveform;
  ASSERT_TRUE(view->isVisible());
  window().RefreshWaveform();
  ASSERT_EQ(view->Content().totalFrames, 441000);

  // Drag the begin handle from the left edge to x 200 of the wave.
  const int y = view->height() / 2;
  QTest::mousePress(view, Qt::LeftButton, {}, QPoint(1, y));
  QMouseEvent move(QEvent::MouseMove, QPointF(201, y), view->mapToGlobal(QPointF(201, y)), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(view, &move);
  QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(201, y));
  const std::int64_t dragged = view->Window().SampleAt(200);
  EXPECT_EQ(Row(0).BeginSample, dragged);
  const std::int32_t beginMs = static_cast<std::int32_t>(MulDiv64(dragged, 10000, 441000));
  EXPECT_EQ(Shown(state().begin).text, ClockTextFromMs(beginMs));
  EXPECT_EQ(state().lv->CellText(0, kRangeCell), "  " + ClockTextFromMs(beginMs) + " - 00:00:10");
  EXPECT_EQ(Shown(state().alltime).text, ClockTextFromSeconds(10 - beginMs / 1000));

  // A click elsewhere puts the position there, exactly.
  QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(301, y));
  EXPECT_EQ(Position(), view->Window().SampleAt(300));

  // The wheel zooms around the pointer down to single samples, read in the background.
  const double anchor = view->Window().FrameAt(300);
  for (int i = 0; i < 60; ++i) {
    QWheelEvent wheel(QPointF(301, y), view->mapToGlobal(QPointF(301, y)), {}, QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view, &wheel);
  }
  EXPECT_DOUBLE_EQ(view->Window().FramesPerPixel(), WaveformWindow::kMinFramesPerPixel);
  EXPECT_NEAR(view->Window().FrameAt(300), anchor, 1.0);
  EXPECT_TRUE(QTest::qWaitFor([&] { view->repaint(); return view->ShowsSamples(); }, 5000));

  // Typed marks: a double-click on "begin" opens the editor.
  auto* engine = dynamic_cast<TSkin*>(&window().Skin1());
  ASSERT_NE(engine, nullptr);
  const SkinRect b = state().begin.GetBounds();
  QTest::mouseDClick(static_cast<QWidget*>(engine->Surface(&window())), Qt::LeftButton, {}, QPoint((b.left + b.right) / 2, (b.top + b.bottom) / 2));
  QLineEdit* editor = window().TypedMarkEditor().Editor();
  ASSERT_TRUE(editor->isVisible());
  auto type = [&](const QString& text) {
    editor->setFocus();
    editor->selectAll();
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
  };
  type("abc");
  EXPECT_EQ(dialogs->infoTexts().last(), kTypedMarkExpected);
  EXPECT_TRUE(editor->isVisible());
  type("0:11");
  EXPECT_TRUE(dialogs->infoTexts().last().contains("past its end"));
  type("0:02.500");
  EXPECT_FALSE(editor->isVisible());
  EXPECT_EQ(Row(0).BeginSample, 110250);
  EXPECT_EQ(Shown(state().begin).text, "00:00:02");
  EXPECT_EQ(window().TypedMarkEditor().PreciseText("begin"), "00:00:02.500 (sample 110250)");

  // The menu road, an end before the begin, then Escape.
  TriggerMenuItem("TypeEnd1");
  ASSERT_TRUE(editor->isVisible());
  type("#1000");
  EXPECT_EQ(dialogs->infoTexts().last(), RangeMarking::kEndBeforeBegin);
  EXPECT_EQ(Row(0).EndSample, 441000);
  QTest::keyClick(editor, Qt::Key_Escape);
  EXPECT_FALSE(editor->isVisible());
  EXPECT_EQ(Row(0).EndSample, 441000);
}

TEST_F(MainWindowKeys, FilesAndFoldersFromTheCommandLine) {
  TempDir dir;
  ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
  ASSERT_TRUE(QFile::copy(ChirpFixture("keys-2s.wav", 2.0, 44100, 1), dir.file("folder/a.wav")));
  ASSERT_TRUE(QFile::copy(ChirpFixture("keys-5s.wav", 5.0, 44100, 1), dir.file("folder/b.WAV")));
  QFile other(dir.file("folder/notes.txt"));
  ASSERT_TRUE(other.open(QIODevice::WriteOnly));
  other.close();
  window().AddFromCommandLine({ChirpFixture("keys-10s.wav", 10.0, 44100, 1), dir.file("folder"), dir.file("gone.mp3")});
  ASSERT_EQ(state().lv->RowCount(), 3);
  EXPECT_TRUE(state().lv->RowTexts(0).caption.startsWith("keys-10s"));
  EXPECT_EQ(state().lv->SelectedRow(), 0);
  EXPECT_EQ(Shown(state().alltime).text, "00:00:17");
  EXPECT_TRUE(dialogs->infoTexts().isEmpty()) << "a missing path is skipped as an unreadable file is";
}

}  // namespace
