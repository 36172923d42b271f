// Selecting, removing, clearing and moving rows: rows and records stay paired
// and the skin texts show what the user should see.
#include <gtest/gtest.h>

#include "TrackBench.h"
#include "platform/ClockText.h"

using namespace snipwave;
using namespace snipwave::test;

namespace {

class TrackRows : public ::testing::Test {
 protected:
  TrackBench b;
};

TEST_F(TrackRows, RemovingAMiddleRowSelectsTheRowThatTookItsPlace) {
  b.seedRows(4);
  b.lv.SelectRow(1);
  b.commands.RemoveSelected();
  EXPECT_EQ(b.captions(), (QStringList{"t0.mp3", "t2.mp3", "t3.mp3"}));
  EXPECT_TRUE(b.rowsPaired());
  EXPECT_EQ(b.state.TrackTable[1].TotalMs, 3000);
  EXPECT_EQ(b.state.TrackTable[2].TotalMs, 4000);
  EXPECT_EQ(b.lv.SelectedRow(), 1);
  EXPECT_EQ(b.state.LastSelectedRow, 1);
  EXPECT_EQ(b.state.TrackCount, 3);
  EXPECT_EQ(b.shown("alltime"), "00:00:08");  // 1 + 3 + 4 seconds
  EXPECT_EQ(b.shown("end"), "00:00:03");
}

TEST_F(TrackRows, RemovingTheLastRowSelectsTheNewLastRow) {
  b.seedRows(3);
  b.lv.SelectRow(2);
  b.commands.RemoveSelected();
  EXPECT_EQ(b.captions(), (QStringList{"t0.mp3", "t1.mp3"}));
  EXPECT_TRUE(b.rowsPaired());
  EXPECT_EQ(b.lv.SelectedRow(), 1);
  EXPECT_EQ(b.shown("alltime"), "00:00:03");
  EXPECT_EQ(b.shown("end"), "00:00:02");
}

TEST_F(TrackRows, RemovingTheOnlyRowShowsZerosEverywhereInOrder) {
  b.seedRows(1);
  b.obj("pb").position = 7000;
  for (const char* n : {"alltime", "time", "begin", "end"}) b.obj(n).text = "01:01:01";
  b.lv.SelectRow(0);
  b.clearSkinLogs();
  b.commands.RemoveSelected();
  EXPECT_EQ(b.lv.RowCount(), 0);
  EXPECT_EQ(b.state.TrackCount, 0);
  for (const char* n : {"alltime", "time", "begin", "end"}) EXPECT_EQ(b.shown(n), "00:00:00") << n;
  EXPECT_EQ(b.obj("pb").shownPosition, 0);
  // "alltime", then the bar, then "time", "begin", "end": each change redrawn.
  EXPECT_EQ(b.obj("alltime").log, (QStringList{"SetText(00:00:00)", "Redraw"}));
  EXPECT_EQ(b.obj("pb").log, (QStringList{"SetPosition(0)", "Redraw"}));
}

TEST_F(TrackRows, RemoveWithoutSelectionRemovesNothingAndReselectsLastSelectedRowClamped) {
  b.seedRows(3);
  b.state.LastSelectedRow = 9;
  b.commands.RemoveSelected();
  EXPECT_EQ(b.lv.RowCount(), 3);
  EXPECT_EQ(b.lv.SelectedRow(), 2);
  EXPECT_EQ(b.state.LastSelectedRow, 2);
  EXPECT_EQ(b.shown("alltime"), "00:00:06");
  EXPECT_EQ(b.shown("end"), "00:00:03");
}

TEST_F(TrackRows, RemoveAndClearAreRefusedInTheirModes) {
  b.seedRows(2);
  b.lv.SelectRow(0);
  for (auto mode : {&MainState::Playing, &MainState::Converting, &MainState::Adding}) {
    b.state.*mode = true;
    b.commands.RemoveSelected();
    b.commands.Clear();
    b.state.*mode = false;
  }
  b.state.Paused = true;  // clear refuses while paused too
  b.commands.Clear();
  EXPECT_EQ(b.lv.RowCount(), 2);
  EXPECT_EQ(b.lv.SelectedRow(), 0);
  EXPECT_EQ(b.obj("alltime").redraws, 0);
}

TEST_F(TrackRows, ClearEmptiesTheListShowsZerosAndLeavesRecords) {
  b.seedRows(3);
  b.obj("pb").position = 123;
  b.commands.Clear();
  EXPECT_EQ(b.lv.RowCount(), 0);
  EXPECT_EQ(b.state.TrackCount, 0);
  for (const char* n : {"alltime", "time", "begin", "end"}) EXPECT_EQ(b.shown(n), "00:00:00") << n;
  EXPECT_EQ(b.obj("pb").shownPosition, 0);
  EXPECT_EQ(b.state.TrackTable[2].FilePath, "/music/t2.mp3");
}

TEST_F(TrackRows, ClickShowsTheRowsMarksAndTheBarOnItsScale) {
  b.seedRow("/music/a.mp3", 200000, 8820000);  // 200 s at 44.1 kHz
  b.state.TrackTable[0].BeginSample = 441000;  // 10 s
  b.state.TrackTable[0].EndSample = 4410000;   // 100 s
  b.obj("pb").position = 5000;                 // a quarter: 50 s
  b.lv.SelectRow(0);
  b.commands.SelectRow();
  EXPECT_EQ(b.shown("begin"), "00:00:10");
  EXPECT_EQ(b.shown("end"), "00:01:40");
  EXPECT_EQ(b.shown("time"), "00:00:50");
  EXPECT_EQ(b.obj("pb").position, 5000);
  EXPECT_EQ(b.state.LastSelectedRow, 0);
}

TEST_F(TrackRows, ClickOnEmptySpaceReselectsLastSelectedRowClamped) {
  b.seedRows(3);
  b.state.LastSelectedRow = 1;
  b.commands.SelectRow();
  EXPECT_EQ(b.lv.SelectedRow(), 1);
  b.state.LastSelectedRow = 50;
  b.lv.DeselectRow(1);
  b.commands.SelectRow();
  EXPECT_EQ(b.lv.SelectedRow(), 2);
  EXPECT_EQ(b.state.LastSelectedRow, 2);
}

TEST_F(TrackRows, ClickWhilePlayingSnapsBackAndWritesNoText) {
  b.seedRows(3);
  b.state.Playing = true;
  b.state.PlayingRow = 2;
  b.lv.SelectRow(0);
  b.commands.SelectRow();
  EXPECT_EQ(b.lv.SelectedRow(), 2);
  EXPECT_EQ(b.state.LastSelectedRow, 0);
  for (const char* n : {"time", "begin", "end", "alltime"}) EXPECT_EQ(b.obj(n).redraws, 0) << n;
}

TEST_F(TrackRows, ClickOnAnEmptyListDoesNothing) {
  b.commands.SelectRow();
  EXPECT_EQ(b.obj("begin").redraws, 0);
}

TEST_F(TrackRows, ARecordWithoutSamplesShowsZeroMarks) {
  b.seedRow("/music/empty.wav", 0, 0);
  b.lv.SelectRow(0);
  b.commands.SelectRow();
  EXPECT_EQ(b.shown("begin"), "00:00:00");
  EXPECT_EQ(b.shown("end"), "00:00:00");
  EXPECT_EQ(b.shown("time"), "00:00:00");
}

TEST_F(TrackRows, MovingKeepsRowsPairedAndThePlayingRowOnItsTrack) {
  b.seedRows(4);
  b.lv.SetCellText(1, kStatusCell, "Playing");
  b.state.Playing = true;  // moves are allowed while previewing
  b.state.PlayingRow = 1;
  b.lv.SelectRow(1);
  b.commands.MoveUp();
  EXPECT_EQ(b.captions(), (QStringList{"t1.mp3", "t0.mp3", "t2.mp3", "t3.mp3"}));
  EXPECT_TRUE(b.rowsPaired());
  EXPECT_EQ(b.state.PlayingRow, 0);
  EXPECT_EQ(b.lv.SelectedRow(), 0);
  EXPECT_EQ(b.lv.CellText(0, kStatusCell), "Playing");

  // Moving a neighbour past the playing row: the track stays found too.
  b.lv.SelectRow(1);
  b.commands.MoveUp();
  EXPECT_EQ(b.captions(), (QStringList{"t0.mp3", "t1.mp3", "t2.mp3", "t3.mp3"}));
  EXPECT_EQ(b.state.PlayingRow, 1);
  EXPECT_EQ(b.lv.CellText(b.state.PlayingRow, kStatusCell), "Playing");

  b.lv.SelectRow(1);
  b.commands.MoveDown();
  b.commands.MoveDown();
  EXPECT_EQ(b.captions(), (QStringList{"t0.mp3", "t2.mp3", "t3.mp3", "t1.mp3"}));
  EXPECT_TRUE(b.rowsPaired());
  EXPECT_EQ(b.state.PlayingRow, 3);
  EXPECT_EQ(b.lv.SelectedRow(), 3);
  EXPECT_EQ(b.state.TrackTable[3].TotalMs, 2000);
}

// The last selection (what a click on empty space restores) and a precise
// position stay with their tracks when rows move or go.
TEST_F(TrackRows, LastSelectionAndPrecisePositionFollowTheirTracks) {
  b.seedRows(4);
  b.state.PreciseSample = 1234;
  b.state.PreciseBar = 7;
  b.state.PreciseRow = 1;
  b.lv.SelectRow(1);
  b.commands.SelectRow();
  b.commands.MoveUp();
  EXPECT_EQ(b.state.LastSelectedRow, 0);
  EXPECT_EQ(b.state.PreciseRow, 0);
  b.lv.DeselectRow(0);
  b.commands.SelectRow();
  EXPECT_EQ(b.captions()[b.lv.SelectedRow()], "t1.mp3");

  b.lv.SelectRow(1);
  b.commands.MoveDown();  // t0 and t2 change places; t1 stays where it is
  EXPECT_EQ(b.state.PreciseRow, 0);
  b.lv.SelectRow(0);
  b.commands.RemoveSelected();  // t1 goes, and its precise position with it
  EXPECT_EQ(b.state.PreciseRow, -1);
  EXPECT_EQ(b.state.PreciseSample, -1);
}

TEST_F(TrackRows, MovesAtTheEndsWithoutSelectionOrWhileBusyDoNothing) {
  b.seedRows(3);
  const QStringList before = b.captions();
  b.lv.SelectRow(0);
  b.commands.MoveUp();
  b.lv.SelectRow(2);
  b.commands.MoveDown();
  b.lv.DeselectRow(2);
  b.commands.MoveUp();
  b.commands.MoveDown();
  b.lv.SelectRow(1);
  b.state.Converting = true;
  b.commands.MoveUp();
  b.state.Converting = false;
  b.state.Adding = true;
  b.commands.MoveDown();
  EXPECT_EQ(b.captions(), before);
  EXPECT_TRUE(b.rowsPaired());
  EXPECT_EQ(b.obj("begin").redraws, 0);  // moves never rewrite skin texts
}

TEST_F(TrackRows, TotalOfAHundredHoursShowsThreeDigitHours) {
  b.seedRow("/music/long1.wav", 0, 0);
  b.seedRow("/music/long2.wav", 0, 0);
  b.state.TrackTable[0].RangeSeconds = 200000;
  b.state.TrackTable[1].RangeSeconds = 160000;
  b.commands.RefreshTotal();
  EXPECT_EQ(b.shown("alltime"), "100:00:00");
}

TEST_F(TrackRows, UnboundSkinObjectsAreSkipped) {
  b.seedRows(1);
  b.state.alltime = SkinBinding{};
  b.state.pb = SkinBinding{};
  b.lv.SelectRow(0);
  b.commands.RemoveSelected();
  EXPECT_EQ(b.shown("time"), "00:00:00");
}

}  // namespace
