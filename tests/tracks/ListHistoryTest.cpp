// The undo history on a main state with fakes: what makes a step.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <malloc.h>
#include <stdexcept>

#include "TrackBench.h"
#include "tracks/ListHistory.h"
#include "tracks/ListSnapshot.h"

using namespace snipwave;
using namespace snipwave::test;

namespace {

// Bytes the allocator has handed out and not had back.
std::int64_t HeapInUse() {
  const struct mallinfo2 m = mallinfo2();
  return static_cast<std::int64_t>(m.uordblks + m.hblkhd);
}

class History : public ::testing::Test {
 protected:
  TrackBench b;
  ListHistory history{b.state};
  const QUndoStack& stack() { return history.Stack(); }
};

TEST_F(History, NestedEditsAreOneStepAndAFailedOneKeepsItsChanges) {
  history.Record("Outer", [&] {
    b.seedRow("/music/a.mp3", 1000, 44100);
    history.Record("Inner", [&] { b.seedRow("/music/b.mp3", 2000, 88200); });
  });
  EXPECT_THROW(history.Record("Fails",
                              [&] {
                                b.seedRow("/music/c.mp3", 3000, 132300);
                                throw std::runtime_error("disk full");
                              }),
               std::runtime_error);
  history.Record("Select", [&] { b.lv.SelectRow(1); });  // no edit, no step
  ASSERT_EQ(stack().count(), 2);
  EXPECT_EQ(stack().text(0), "Outer");
  ASSERT_TRUE(history.Undo());
  EXPECT_EQ(b.captions(), (QStringList{"a.mp3", "b.mp3"}));
  ASSERT_TRUE(history.Undo());
  EXPECT_EQ(b.state.TrackCount, 0);
  EXPECT_FALSE(history.Undo());
}

TEST_F(History, AChangeOutsideAnyRecordIsAStepOfItsOwnAndNeverDroppedByUndo) {
  b.seedRows(1);
  history.Changed();
  QCoreApplication::processEvents();
  ASSERT_EQ(stack().count(), 1);
  EXPECT_EQ(stack().undoText(), ListHistory::kUnnamedStep);
  b.seedRow("/music/late.mp3", 1000, 44100);  // not even announced
  ASSERT_TRUE(history.Undo());
  EXPECT_EQ(b.captions(), QStringList{"t0.mp3"});
  ASSERT_TRUE(history.Redo());
  EXPECT_EQ(b.captions(), (QStringList{"t0.mp3", "late.mp3"}));
}

TEST_F(History, AThousandStepsOnAFullListHoldLittleMoreThanTheRowsTheyChanged) {
  b.seedRows(kTrackTableSize);
  history.Reset();
  const std::int64_t start = HeapInUse();
  ListSnapshot afterFirst;
  // One step more than the history keeps: the oldest goes.
  for (int step = 0; step <= ListHistory::kMaxSteps; ++step) {
    const auto row = static_cast<std::size_t>(step * 37 % kTrackTableSize);
    history.Record("Set begin", [&] {
      b.state.TrackTable[row].BeginSample = step + 1;
      b.lv.SetCellText(static_cast<int>(row), kRangeCell, QString("  00:00:%1 - 00:00:59").arg(step % 60));
    });
    if (step == 0) afterFirst = TakeListSnapshot(b.state);
  }
  ASSERT_EQ(stack().count(), ListHistory::kMaxSteps);
  EXPECT_LT(HeapInUse() - start, 30'000'000) << "bytes";
  // Undone to its oldest step, the list is whole again and the steps kept
  // for redo take no more.
  while (history.Undo()) {
  }
  EXPECT_EQ(TakeListSnapshot(b.state), afterFirst);
  EXPECT_LT(HeapInUse() - start, 30'000'000) << "bytes";
  ASSERT_TRUE(history.Redo());
  EXPECT_EQ(b.state.TrackTable[37].BeginSample, 2);
}

}  // namespace
