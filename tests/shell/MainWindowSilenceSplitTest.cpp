// "Split at silences" in the window: a background search on the real reader.
#include <QFileInfo>

#include "MainWindowFixture.h"
#include "ToneFiles.h"
#include "shell/SilenceSplitCommand.h"

namespace snipwave::test {
namespace {

class MainWindowSilenceSplit : public MainWindowFixture {
 protected:
  // Adds the file and selects its row.
  void AddAndSelect(const QString& path) {
    dialogs->openAnswers.push_back({path});
    Click("add");
    ASSERT_EQ(state().TrackCount, 1);
    state().lv->SelectRow(0);
  }
  void WaitUntilEnded() {
    QTRY_VERIFY_WITH_TIMEOUT(!window().SilenceSplits().Running(), 20000);
    QTest::qWait(200);  // anything the worker still sent has arrived
  }
  const Timerec& Record(int row) { return state().TrackTable[static_cast<std::size_t>(row)]; }

  TempDir files;
};

TEST_F(MainWindowSilenceSplit, PartsMeetAtTheMiddlesOfTheSilences) {
  const QString path = ToneAndSilence(files, "three", {1.0, -1.0, 1.0, -0.8, 1.0});
  AddAndSelect(path);
  const std::int64_t end = Record(0).EndSample;

  TriggerMenuItem("SplitSilences1");
  WaitUntilEnded();

  ASSERT_EQ(state().TrackCount, 3);
  ASSERT_EQ(state().lv->RowCount(), 3);
  EXPECT_EQ(Record(0).BeginSample, 0);
  EXPECT_EQ(Record(2).EndSample, end);
  const std::vector<double> middles = {1.5, 3.4};  // seconds
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(Record(i).EndSample, Record(i + 1).BeginSample) << i;
    EXPECT_NEAR(double(Record(i).EndSample), middles[static_cast<std::size_t>(i)] * kToneRate, 0.010 * kToneRate);
    EXPECT_EQ(Record(i + 1).FilePath, path);
  }
  EXPECT_TRUE(dialogs->infoTexts().isEmpty());
  EXPECT_FALSE(Shown(state().showpos).visible);  // the progress display is cleared
}

TEST_F(MainWindowSilenceSplit, RangeWithoutSilenceStaysOneRowAndSaysSo) {
  AddAndSelect(ToneAndSilence(files, "tone", {-0.7, 2.0, -0.7}));  // leading and trailing silence only
  const Timerec before = Record(0);

  TriggerMenuItem("SplitSilences1");
  WaitUntilEnded();

  EXPECT_EQ(state().TrackCount, 1);
  EXPECT_EQ(Record(0).BeginSample, before.BeginSample);
  EXPECT_EQ(Record(0).EndSample, before.EndSample);
  EXPECT_EQ(dialogs->infoTexts(), QStringList{NoSilenceMessage("tone.wav")});
}

// Whatever ends the search before its result is taken, no row is replaced
// afterwards; a job meanwhile is refused with a message.
TEST_F(MainWindowSilenceSplit, StopRemoveOrCloseLeavesTheRowsAsTheyAre) {
  const QString path = ToneAndSilence(files, "three", {1.0, -1.0, 1.0, -0.8, 1.0});
  for (const QString& end : {QString("Stop1"), QString("DelFile2"), QString("Exit2")}) {
    SCOPED_TRACE(end.toStdString());
    TriggerMenuItem("Clear2");
    dialogs->shown.clear();
    AddAndSelect(path);
    const Timerec before = Record(0);

    TriggerMenuItem("SplitSilences1");
    ASSERT_TRUE(window().SilenceSplits().Running());
    TriggerMenuItem("Cut2");
    EXPECT_EQ(dialogs->infoTexts(), QStringList{SilenceSearchBusyMessage("three.wav")});
    TriggerMenuItem(end);
    WaitUntilEnded();

    EXPECT_EQ(state().TrackCount, end == "DelFile2" ? 0 : 1);
    if (state().TrackCount == 1) {
      EXPECT_EQ(Record(0).BeginSample, before.BeginSample);
      EXPECT_EQ(Record(0).EndSample, before.EndSample);
    }
    EXPECT_EQ(dialogs->infoTexts().size(), 1);
  }
}

}  // namespace
}  // namespace snipwave::test
