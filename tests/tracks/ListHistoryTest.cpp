// The undo history on a main state with fakes: what makes a step.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <stdexcept>

#include "TrackBench.h"
#include "tracks/ListHistory.h"

using namespace snipwave;
using namespace snipwave::test;

namespace {

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

}  // namespace
