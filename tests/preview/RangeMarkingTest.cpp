// Setting and nudging the marks against fake skin, list and dialogs.
#include <gtest/gtest.h>

#include "PreviewHarness.h"
#include "platform/ClockText.h"
#include "platform/MulDiv.h"

namespace snipwave::test {
namespace {

constexpr int kTenSeconds = 441000;  // frames at 44.1 kHz

class RangeMarkingTest : public ::testing::Test {
 protected:
  RangeMarkingTest() {
    h.AddRow("/music/a.mp3", kTenSeconds, 10000);  // 10 s
    h.AddRow("/music/b.mp3", kTenSeconds * 6, 60000);  // 60 s
    h.list.SelectRow(0);
  }
  const Timerec& Record(int row) const { return h.state.TrackTable[static_cast<std::size_t>(row)]; }
  QString Cell(int row, TrackCell cell) const { return h.list.CellText(row, cell); }
  PreviewHarness h;
};

TEST_F(RangeMarkingTest, SetBeginStoresSamplesAndRewritesRowTextsAndTotal) {
  h.SetBar(4000);  // 2 s
  h.marking.SetBegin();
  EXPECT_EQ(Record(0).BeginSample, 88200);
  EXPECT_EQ(Record(0).EndSample, kTenSeconds);
  EXPECT_EQ(Record(0).RangeSeconds, 8);
  EXPECT_EQ(h.object("begin").shownText, "00:00:02");
  EXPECT_EQ(Cell(0, kRangeCell), "  00:00:02 - 00:00:10");
  EXPECT_EQ(Cell(0, kLengthCell), "  00:00:08");
  EXPECT_EQ(h.object("alltime").shownText, "00:01:08");
  // Set begin writes neither "end", "time" nor the bar.
  EXPECT_EQ(h.object("end").redraws + h.time().redraws + h.pb().redraws, 0);

  h.SetBar(15000);  // 7.5 s
  h.marking.SetEnd();
  EXPECT_EQ(Record(0).EndSample, MulDiv(15000, kTenSeconds, 20000));
  EXPECT_EQ(Record(0).RangeSeconds, 5);
  EXPECT_EQ(h.object("end").shownText, "00:00:07");
  EXPECT_EQ(h.object("begin").redraws, 1);
  EXPECT_EQ(Cell(0, kRangeCell), "  00:00:02 - 00:00:07");
  EXPECT_EQ(Cell(0, kLengthCell), "  00:00:05");
  EXPECT_EQ(h.object("alltime").shownText, "00:01:05");
  EXPECT_TRUE(h.dialogs.shown.isEmpty());
}

TEST_F(RangeMarkingTest, BeginEqualToEndIsAccepted) {
  h.SetBar(12000);
  h.marking.SetEnd();
  h.marking.SetBegin();
  EXPECT_EQ(Record(0).BeginSample, Record(0).EndSample);
  EXPECT_EQ(Record(0).RangeSeconds, 0);
  EXPECT_EQ(Cell(0, kLengthCell), "  00:00:00");
  EXPECT_EQ(Cell(0, kRangeCell), "  00:00:06 - 00:00:06");
  EXPECT_TRUE(h.dialogs.shown.isEmpty());
}

TEST_F(RangeMarkingTest, MarksOnTheWrongSideShowTheMessage) {
  h.SetBar(8000);
  h.marking.SetEnd();
  h.SetBar(8001);  // one bar unit after the end mark
  h.marking.SetBegin();
  EXPECT_EQ(Record(0).BeginSample, 0);
  EXPECT_EQ(h.dialogs.infoTexts(), QStringList({"Start-time must not be larger than end-time."}));

  h.SetBar(4000);
  h.marking.SetBegin();
  h.dialogs.shown.clear();
  h.SetBar(3999);
  h.marking.SetEnd();
  EXPECT_EQ(h.dialogs.infoTexts(), QStringList({"End-time must not be smaller than start-time."}));
  EXPECT_EQ(Record(0).EndSample, MulDiv(8000, kTenSeconds, 20000));
  EXPECT_EQ(Record(0).RangeSeconds, 2);
  EXPECT_EQ(h.object("end").shownText, "00:00:04");
}

TEST_F(RangeMarkingTest, RefusedBeginLeavesRowTextsAndTotalAlone) {
  h.SetBar(8000);
  h.marking.SetEnd();
  const QString range = Cell(0, kRangeCell), length = Cell(0, kLengthCell);
  const int beginRedraws = h.object("begin").redraws, totalRedraws = h.object("alltime").redraws;
  const QString total = h.object("alltime").shownText;

  h.SetBar(8001);
  h.marking.SetBegin();

  EXPECT_EQ(Record(0).BeginSample, 0);
  EXPECT_EQ(Cell(0, kRangeCell), range);
  EXPECT_EQ(Cell(0, kLengthCell), length);
  EXPECT_EQ(h.object("begin").redraws, beginRedraws);
  EXPECT_EQ(h.object("alltime").redraws, totalRedraws);
  EXPECT_EQ(h.object("alltime").shownText, total);
}

TEST_F(RangeMarkingTest, RangeSecondsIsTheDifferenceOfTruncatedSeconds) {
  h.list.SelectRow(1);  // 60 s: bar 1 = 3 ms
  h.SetBar(634);        // 1.902 s
  h.marking.SetBegin();
  h.SetBar(1034);  // 3.102 s
  h.marking.SetEnd();
  EXPECT_EQ(Record(1).RangeSeconds, 2);
  EXPECT_EQ(Cell(1, kRangeCell), "  00:00:01 - 00:00:03");
  EXPECT_EQ(Cell(1, kLengthCell), "  00:00:02");
  EXPECT_EQ(h.object("alltime").shownText, "00:00:12");  // 10 + 2
}

TEST_F(RangeMarkingTest, WhilePreviewingOrPausedTheMarksGoToThePlayingRow) {
  h.list.SelectRow(1);
  h.preview.Play();
  h.player.FireTimer(44100 * 6);  // bar at 2000 of row 1
  ASSERT_EQ(h.pb().position, 2000);
  h.list.SelectRow(0);  // a selection elsewhere does not matter
  h.marking.SetBegin();
  EXPECT_EQ(Record(1).BeginSample, MulDiv(2000, kTenSeconds * 6, 20000));
  EXPECT_EQ(Record(0).BeginSample, 0);

  h.preview.PauseToggle();
  h.SetBar(10000);
  h.marking.SetEnd();
  EXPECT_EQ(Record(1).EndSample, MulDiv(10000, kTenSeconds * 6, 20000));
  EXPECT_EQ(Cell(1, kRangeCell), "  00:00:06 - 00:00:30");
  EXPECT_EQ(Record(0).EndSample, kTenSeconds);
}

TEST_F(RangeMarkingTest, MarkingIsRefusedDuringAJobAnAddOrWithoutSelection) {
  h.SetBar(4000);
  h.state.Converting = true;
  h.marking.SetBegin();
  h.marking.SetEnd();
  h.state.Converting = false;
  h.state.Adding = true;
  h.marking.SetBegin();
  h.marking.SetEnd();
  h.state.Adding = false;
  h.list.selected = -1;
  h.marking.SetBegin();
  h.marking.SetEnd();
  EXPECT_EQ(Record(0).BeginSample, 0);
  EXPECT_EQ(Record(0).EndSample, kTenSeconds);
  EXPECT_EQ(h.object("begin").redraws + h.object("end").redraws + h.object("alltime").redraws, 0);
  EXPECT_TRUE(h.dialogs.shown.isEmpty());
}

TEST_F(RangeMarkingTest, NudgesMoveTheBarOneSecondWithoutClampingOrReachingZero) {
  h.SetBar(10000);  // 10 s file: one second is 2000 bar units
  h.marking.NudgeForward();
  EXPECT_EQ(h.pb().shownPosition, 12000);
  EXPECT_EQ(h.time().shownText, "00:00:06");
  h.marking.NudgeBack();
  h.marking.NudgeBack();
  EXPECT_EQ(h.pb().shownPosition, 8000);
  EXPECT_EQ(h.time().shownText, "00:00:04");
  EXPECT_EQ(Record(0).BeginSample, 0);  // the marks do not move

  h.SetBar(18001);
  const int redraws = h.pb().redraws + h.time().redraws;
  h.marking.NudgeForward();  // would pass 20000
  EXPECT_EQ(h.pb().position, 18001);
  h.SetBar(2000);
  h.marking.NudgeBack();  // would reach 0
  EXPECT_EQ(h.pb().position, 2000);
  EXPECT_EQ(h.pb().redraws + h.time().redraws, redraws);

  h.SetBar(18000);
  h.marking.NudgeForward();  // exactly 20000 is allowed
  EXPECT_EQ(h.pb().shownPosition, 20000);
  h.SetBar(2001);
  h.marking.NudgeBack();  // down to 1 is allowed
  EXPECT_EQ(h.pb().shownPosition, 1);
}

TEST_F(RangeMarkingTest, NudgesAreRefusedWhilePlayingOrWithoutSelection) {
  h.preview.Play();
  h.SetBar(10000);
  h.marking.NudgeForward();
  h.preview.PauseToggle();
  h.marking.NudgeBack();
  EXPECT_EQ(h.pb().position, 10000);
  h.preview.Stop();

  h.list.selected = -1;
  h.SetBar(10000);
  const int redraws = h.pb().redraws;
  h.marking.NudgeForward();
  EXPECT_EQ(h.pb().redraws, redraws);
}

TEST_F(RangeMarkingTest, StepOfAVeryLongFileRoundsToZeroAndRewritesInPlace) {
  const int row = h.AddRow("/music/long.mp3", 2000000000, 40000001);
  h.list.SelectRow(row);
  h.SetBar(7000);
  h.marking.NudgeForward();
  EXPECT_EQ(h.pb().redraws, 1);
  EXPECT_EQ(h.pb().shownPosition, 7000);
  EXPECT_EQ(h.time().shownText, ClockTextFromMs(MulDiv(7000, 40000001, 20000)));
}

TEST_F(RangeMarkingTest, FileWithoutDurationIsNotNudged) {
  const int row = h.AddRow("/music/empty.wav", 0, 0);
  h.list.SelectRow(row);
  h.SetBar(7000);
  h.marking.NudgeForward();
  h.marking.NudgeBack();
  EXPECT_EQ(h.pb().position, 7000);
  EXPECT_EQ(h.pb().redraws, 0);
}

}  // namespace
}  // namespace snipwave::test
