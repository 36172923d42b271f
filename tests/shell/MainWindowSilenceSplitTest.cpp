// "Split at silences" in the window: a background search on the real reader.
#include <QFileInfo>

#include "MainWindowFixture.h"
#include "ToneFiles.h"
#include "platform/ClockText.h"
#include "settings/SettingsKeys.h"
#include "shell/SilenceSplitCommand.h"
#include "waveform/WaveformView.h"

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
  QString Stored(std::string_view key) {
    return state().SettingsFile->ReadString(settings::section::kSilence, key, QStringLiteral("none"));
  }

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

// The dialog shows the parts of the values it shows on the waveform while
// the list stays as it was; OK with parts already found replaces the row at
// once and keeps the values, Cancel changes nothing at all.
TEST_F(MainWindowSilenceSplit, TheDialogPreviewsThePartsOkReplacesCancelLeaves) {
  const QString path = ToneAndSilence(files, "three", {1.0, -1.0, 1.0, -0.8, 1.0});
  const SilenceRule longer{-40.0, 0.9};  // only the 1-second silence counts
  for (const bool ok : {false, true}) {
    SCOPED_TRACE(ok ? "OK" : "Cancel");
    TriggerMenuItem("Clear2");
    AddAndSelect(path);
    ASSERT_TRUE(window().waveform->isVisible());
    QStringList statuses;
    std::vector<std::size_t> drawn;
    silenceDialog->whileOpen = [&](ISilencePreview& preview) {
      for (const SilenceRule& rule : {SilenceRule{}, longer}) {
        preview.Find(rule);
        QTRY_VERIFY_WITH_TIMEOUT(preview.Done(), 20000);
        statuses << preview.Status();
        drawn.push_back(window().waveform->Content().splits.size());
        EXPECT_EQ(state().TrackCount, 1);
      }
    };
    silenceDialog->answers.push_back(ok ? std::optional<SilenceRule>(longer) : std::nullopt);

    TriggerMenuItem("SplitSilences1");

    EXPECT_EQ(silenceDialog->fileNames.last(), "three.wav");
    EXPECT_EQ(drawn, (std::vector<std::size_t>{2, 1}));
    ASSERT_EQ(statuses.size(), 2);
    EXPECT_TRUE(statuses[0].contains("3 rows")) << statuses[0].toStdString();
    EXPECT_TRUE(statuses[1].contains("2 rows")) << statuses[1].toStdString();
    EXPECT_FALSE(window().SilenceSplits().Running());
    EXPECT_TRUE(window().waveform->Content().splits.empty());
    EXPECT_EQ(state().TrackCount, ok ? 2 : 1);
    EXPECT_EQ(Stored(settings::key::kSilenceMinSeconds), ok ? "0.9" : "none");
    EXPECT_EQ(Stored(settings::key::kSilenceThresholdDb), ok ? "-40" : "none");
    if (ok) {
      EXPECT_NEAR(double(Record(0).EndSample), 1.5 * kToneRate, 0.010 * kToneRate);
      // The selected first part shows its new end at once.
      EXPECT_EQ(Shown(state().end).text, ClockTextFromMs(1500));
    }
  }
  // The next split starts from the values kept.
  silenceDialog->whileOpen = nullptr;
  silenceDialog->answers.push_back(std::nullopt);
  TriggerMenuItem("SplitSilences1");
  EXPECT_EQ(silenceDialog->shownRules.last(), longer);
  EXPECT_TRUE(dialogs->infoTexts().isEmpty()) << dialogs->infoTexts().join("|").toStdString();
}

}  // namespace
}  // namespace snipwave::test
