// After every road that changes the rows, "begin", "end", "time", "alltime"
// and the waveform show the selected row, and the selection stays on its track.
#include <QRegularExpression>

#include "MainWindowFixture.h"
#include "ToneFiles.h"
#include "platform/ClockText.h"
#include "platform/MulDiv.h"
#include "shell/SilenceSplitCommand.h"
#include "state/RangeTotal.h"
#include "tracks/TrackListWidget.h"
#include "waveform/WaveformView.h"

namespace snipwave::test {
namespace {

class MainWindowReadouts : public MainWindowFixture {
 protected:
  void ExpectReadoutsShowTheSelectedRow() {
    const WaveformContent& wave = window().waveform->Content();
    if (state().TrackCount == 0) {
      for (const SkinBinding* text : {&state().begin, &state().end, &state().time, &state().alltime})
        EXPECT_EQ(Shown(*text).text, "00:00:00");
      EXPECT_TRUE(wave.path.isEmpty());
      return;
    }
    const int row = state().lv->SelectedRow();
    ASSERT_GE(row, 0);
    const Timerec& r = state().TrackTable[static_cast<std::size_t>(row)];
    EXPECT_EQ(Shown(state().begin).text, ClockTextFromMs(MulDiv64(r.BeginSample, r.TotalMs, r.TotalSamples)));
    EXPECT_EQ(Shown(state().end).text, ClockTextFromMs(MulDiv64(r.EndSample, r.TotalMs, r.TotalSamples)));
    EXPECT_EQ(Shown(state().time).text, ClockTextFromMs(MulDiv(state().pb.GetPosition(), r.TotalMs, 20000)));
    EXPECT_EQ(Shown(state().alltime).text, ClockTextFromSeconds(SumOfRangeSeconds(state())));
    EXPECT_EQ(wave.path, r.FilePath);
    EXPECT_EQ(wave.begin, r.BeginSample);
    EXPECT_EQ(wave.end, r.EndSample);
  }
  QString SelectedName() {
    const int row = state().lv->SelectedRow();
    return row < 0 ? QString() : state().lv->RowTexts(row).caption;
  }
  void Select(int row) {
    state().lv->SelectRow(row);
    window().Commands().SelectRow();
  }

  TempDir files;
};

TEST_F(MainWindowReadouts, EveryRoadThatChangesTheRowsShowsTheSelectedRow) {
  const QString a = ToneAndSilence(files, "a", {1.0, -1.0, 2.0});
  const QString b = ToneAndSilence(files, "b", {5.0});
  ASSERT_TRUE(window().waveform->isVisible());
  struct Road {
    const char* name;
    std::function<void()> run;
    const char* selected;  // the track the selection stays on, "" for an empty list
  };
  const std::vector<Road> roads = {
      {"add", [&] { dialogs->openAnswers.push_back({a, b}); Click("add"); }, "a.wav"},
      {"split at position",
       [&] {
         state().pb.SetPosition(15000);  // 3 s of a's 4
         TriggerMenuItem("SplitHere1");
       },
       "a.wav"},
      // The first part's silence is found in the background while b, two
      // rows further down, is selected: b must stay selected as rows come in.
      {"split at silences",
       [&] {
         TriggerMenuItem("SplitSilences1");
         Select(2);
         QTRY_VERIFY_WITH_TIMEOUT(!window().SilenceSplits().Running(), 20000);
         ASSERT_EQ(state().TrackCount, 4);
       },
       "b.wav"},
      {"move up", [&] { Click("up"); }, "b.wav"},
      {"move down", [&] { Click("down"); }, "b.wav"},
      {"remove", [&] { Click("del"); }, "a.wav"},
      {"clear", [&] { Click("clear"); }, ""},
  };
  for (const Road& road : roads) {
    SCOPED_TRACE(road.name);
    road.run();
    EXPECT_EQ(SelectedName(), road.selected);
    ExpectReadoutsShowTheSelectedRow();
    if (road.name == std::string("split at silences")) {
      // A click on empty space restores b, not the row that took b's old place.
      state().lv->DeselectRow(state().lv->SelectedRow());
      window().Commands().SelectRow();
      EXPECT_EQ(SelectedName(), "b.wav");
    }
  }
  EXPECT_TRUE(dialogs->infoTexts().isEmpty());
}

// A row's tooltip tells the file's loudness from its background scan and,
// for a range that is not the whole file, the range's own.
TEST_F(MainWindowReadouts, RowTooltipsGiveTheLoudnessOfFileAndRange) {
  const QString a = ToneAndSilence(files, "a", {2.0, -1.0, 2.0});
  dialogs->openAnswers.push_back({a});
  Click("add");
  ASSERT_EQ(state().TrackCount, 1);
  const auto tip = [&](int column) { return window().lv->ToolTipAt(0, column); };
  EXPECT_TRUE(tip(0).startsWith("Loudness: ")) << tip(0).toStdString();
  ASSERT_TRUE(QTest::qWaitFor([&] { return tip(0).endsWith(" dBTP"); }, 60000)) << tip(0).toStdString();
  EXPECT_FALSE(tip(0).contains("Range loudness"));  // the range is the whole file
  state().TrackTable[0].BeginSample = 2 * kToneRate;  // the silence and the second tone
  ASSERT_TRUE(QTest::qWaitFor([&] { return tip(1 + kRangeCell).contains(QRegularExpression("Range loudness: -[0-9.]+ LUFS")); },
                              60000))
      << tip(1 + kRangeCell).toStdString();
}

}  // namespace
}  // namespace snipwave::test
