// Splitting a row at the position into two rows of the same file.
#include <gtest/gtest.h>

#include "PreviewHarness.h"
#include "platform/MulDiv.h"
#include "preview/PrecisePosition.h"
#include "preview/RowSplit.h"

namespace snipwave::test {
namespace {

constexpr int kTenSeconds = 441000;  // frames at 44.1 kHz

const Timerec& Record(const PreviewHarness& h, int row) { return h.state.TrackTable[static_cast<std::size_t>(row)]; }

TEST(RowSplit, SplitsExactlyAtThePreciseFrameElseAtTheBar) {
  PreviewHarness h;
  h.AddRow("/music/a.mp3", kTenSeconds, 10000);
  h.AddRow("/music/b.mp3", kTenSeconds * 6, 60000);
  h.list.SelectRow(0);
  // A sample-exact road left frame 123457 at bar value 5599.
  const std::int64_t exact = 123457;
  h.SetBar(BarOf(exact, Record(h, 0)));
  h.state.PreciseSample = exact;
  h.state.PreciseBar = BarOf(exact, Record(h, 0));
  h.state.PreciseRow = 0;

  ASSERT_TRUE(SplitRowAtPosition(h.state));

  ASSERT_EQ(h.state.TrackCount, 3);
  EXPECT_EQ(Record(h, 0).BeginSample, 0);
  EXPECT_EQ(Record(h, 0).EndSample, exact);
  EXPECT_EQ(Record(h, 1).FilePath, "/music/a.mp3");
  EXPECT_EQ(Record(h, 1).BeginSample, exact);
  EXPECT_EQ(Record(h, 1).EndSample, kTenSeconds);
  EXPECT_EQ(Record(h, 2).FilePath, "/music/b.mp3");
  EXPECT_EQ(h.list.RowCount(), 3);
  EXPECT_EQ(h.list.RowTexts(1).caption, "a.mp3");
  EXPECT_EQ(h.list.RowTexts(2).caption, "b.mp3");
  EXPECT_EQ(h.list.CellText(0, kRangeCell), "  00:00:00 - 00:00:02");
  EXPECT_EQ(h.list.CellText(1, kRangeCell), "  00:00:02 - 00:00:10");
  EXPECT_EQ(h.list.CellText(1, kStatusCell), "unconverted");
  EXPECT_EQ(h.object("alltime").shownText, "00:01:10");  // 2 + 8 + 60 whole seconds

  // The second part of the first file, at a bar value with no precise frame.
  h.state.PreciseSample = -1;
  h.list.SelectRow(1);
  h.SetBar(15000);
  ASSERT_TRUE(SplitRowAtPosition(h.state));
  EXPECT_EQ(Record(h, 1).EndSample, MulDiv64(15000, kTenSeconds, 20000));
  EXPECT_EQ(Record(h, 2).BeginSample, Record(h, 1).EndSample);
  EXPECT_EQ(Record(h, 2).EndSample, kTenSeconds);
  EXPECT_EQ(Record(h, 3).FilePath, "/music/b.mp3");
  EXPECT_TRUE(h.dialogs.shown.isEmpty());
}

TEST(RowSplit, PositionOutsideTheRangeOrAFullListChangesNothing) {
  PreviewHarness h;
  for (int i = 0; i < kTrackTableSize; ++i) h.AddRow("/music/a.mp3", kTenSeconds, 10000);
  h.list.SelectRow(0);
  h.SetBar(10000);
  EXPECT_FALSE(SplitRowAtPosition(h.state));
  ASSERT_EQ(h.dialogs.infoTexts().size(), 1);
  EXPECT_TRUE(h.dialogs.infoTexts()[0].contains("at most 101 files"));
  EXPECT_FALSE(SplitRowAtPoints(h.state, 0, {kTenSeconds / 2}));
  EXPECT_TRUE(h.dialogs.infoTexts().back().contains("a.mp3 would become 2 rows"));

  h.state.TrackCount = 2;
  Timerec& first = h.state.TrackTable[0];
  first.BeginSample = 1000;
  for (const int bar : {0, 20000}) {  // before the range, at its end
    h.SetBar(bar);
    EXPECT_FALSE(SplitRowAtPosition(h.state));
    EXPECT_EQ(h.dialogs.infoTexts().back(), kSplitOutsideRange);
  }
  EXPECT_EQ(h.state.TrackCount, 2);
  EXPECT_EQ(first.EndSample, kTenSeconds);
}

}  // namespace
}  // namespace snipwave::test
