// The undo history on a main state with fakes: what makes a step, what does
// not, and when undo is refused.
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

TEST_F(History, NestedEditsAreOneStepAndAFailedEditKeepsWhatItChanged) {
  history.Record("Outer", [&] {
    b.seedRow("/music/a.mp3", 1000, 44100);
    history.Record("Inner", [&] { b.seedRow("/music/b.mp3", 2000, 88200); });
  });
  EXPECT_EQ(stack().count(), 1);
  EXPECT_EQ(stack().undoText(), "Outer");
  EXPECT_THROW(history.Record("Fails",
                              [&] {
                                b.seedRow("/music/c.mp3", 3000, 132300);
                                throw std::runtime_error("disk full");
                              }),
               std::runtime_error);
  EXPECT_EQ(stack().count(), 2);
  ASSERT_TRUE(history.Undo());
  EXPECT_EQ(b.captions(), (QStringList{"a.mp3", "b.mp3"}));
  ASSERT_TRUE(history.Undo());
  EXPECT_EQ(b.lv.RowCount(), 0);
  EXPECT_EQ(b.state.TrackCount, 0);
  EXPECT_FALSE(history.Undo());
}

TEST_F(History, StatusAndSelectionAloneAreNoStep) {
  b.seedRows(2);
  history.Reset();
  history.Record("Cut", [&] {
    b.lv.SetCellText(0, kStatusCell, "Finish");
    b.lv.SelectRow(1);
    b.state.LastSelectedRow = 1;
  });
  EXPECT_EQ(stack().count(), 0);
}

TEST_F(History, AChangeOutsideAnyRecordBecomesAStepOfItsOwn) {
  b.seedRows(1);
  history.Changed();
  QCoreApplication::processEvents();
  ASSERT_EQ(stack().count(), 1);
  EXPECT_EQ(stack().undoText(), ListHistory::kUnnamedStep);
  // One not even announced is kept before an undo, so undo never drops it.
  b.seedRow("/music/late.mp3", 1000, 44100);
  ASSERT_TRUE(history.Undo());
  EXPECT_EQ(b.captions(), QStringList{"t0.mp3"});
  ASSERT_TRUE(history.Redo());
  EXPECT_EQ(b.captions(), (QStringList{"t0.mp3", "late.mp3"}));
}

TEST_F(History, RefusedWhileAnAddAJobOrAPreviewRuns) {
  history.Record("Add files", [&] { b.seedRows(2); });
  const struct {
    const char* mode;
    bool MainState::*flag;
  } modes[] = {{"previewing", &MainState::Playing}, {"converting", &MainState::Converting},
               {"adding", &MainState::Adding}};
  for (const auto& m : modes) {
    b.state.*(m.flag) = true;
    EXPECT_FALSE(history.Undo()) << m.mode;
    EXPECT_EQ(b.lv.RowCount(), 2) << m.mode;
    b.state.*(m.flag) = false;
  }
  ASSERT_TRUE(history.Undo());
  b.state.Playing = b.state.Paused = true;
  EXPECT_FALSE(history.Redo());
  EXPECT_EQ(b.lv.RowCount(), 0);
}

}  // namespace
