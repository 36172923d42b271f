// The preview on the real reader and the real SDL player (the dummy driver
// drains at real-time rate, so the events are real).
#include <gtest/gtest.h>

#include <QFile>
#include <QTest>
#include <set>
#include <vector>

#include "CaughtExceptions.h"
#include "Commands.h"
#include "FakeMainParts.h"
#include "FakeSkin.h"
#include "ScriptedDialogs.h"
#include "components/audio/TAudioFile2.h"
#include "components/audio/TAudioPlayer2.h"
#include "platform/MulDiv.h"
#include "preview/PreviewPlayer.h"
#include "state/MainState.h"

namespace snipwave::test {
namespace {

constexpr int kGenerousTimeoutMs = 30000;

QString ThreeSecondFixture() { return ChirpFixture("preview-3s.mp3", 3.0, 44100, 2); }

int SecondsOf(const QString& clock) {
  const QStringList parts = clock.split(':');
  return parts.size() == 3 ? parts[0].toInt() * 3600 + parts[1].toInt() * 60 + parts[2].toInt() : -1;
}

class RealPlayerTest : public ::testing::Test {
 protected:
  RealPlayerTest() {
    skin.BindInto(state);
    state.lv = &list;
    state.Dialogs = &dialogs;
    state.AudioFileRead = &reader;
    state.AudioPlayer1 = &player;
    CaughtExceptions().clear();
  }

  // Lists a file as the add command does: probed for its length, row texts.
  void AddFile(const QString& path) {
    reader.OpenFile(QFile::encodeName(path).toStdString(), 0, 1);
    const int row = state.TrackCount++;
    state.TrackTable[static_cast<std::size_t>(row)] =
        Timerec{0, reader.LengthSamples(), reader.LengthSamples(), reader.DurationMs(), reader.DurationMs() / 1000, path};
    reader.CloseFile();
    TrackRowTexts texts;
    texts.cells[kStatusCell] = "unconverted";
    list.AppendRow(texts);
  }

  // Installs the preview's events, recording the bar and "time" after each
  // timer and noting the end of playback.
  void InstallRecordingEvents() {
    AudioPlayerEvents events = preview.PlayerEvents();
    auto onTimer = events.OnTimer;
    events.OnTimer = [this, onTimer](std::int64_t played, int l, int r) {
      onTimer(played, l, r);
      bars.push_back(skin.object("pb").shownPosition);
      times.push_back(SecondsOf(skin.object("time").shownText));
    };
    auto onEndPlay = events.OnEndPlay;
    events.OnEndPlay = [this, onEndPlay] {
      onEndPlay();
      ended = true;
    };
    player.SetEvents(events);
  }

  TAudioFile2 reader;
  TAudioPlayer2 player;
  FakeTrackList list;
  ScriptedDialogs dialogs;
  FakeSkinWindow skin;
  MainState state;
  PreviewPlayer preview{state};
  std::vector<int> bars, times;
  bool ended = false;
};

TEST_F(RealPlayerTest, ThreeSecondFilePlaysToTheEndByItselfAndComesToRest) {
  const QString path = ThreeSecondFixture();
  AddFile(path);
  AddFile(path);
  InstallRecordingEvents();
  list.SelectRow(0);

  preview.Play();
  ASSERT_TRUE(state.Playing);
  EXPECT_EQ(list.CellText(0, kStatusCell), "Playing");
  ASSERT_TRUE(QTest::qWaitFor([&] { return ended; }, kGenerousTimeoutMs)) << "the preview never ended";

  EXPECT_FALSE(state.Playing);
  EXPECT_FALSE(state.Paused);
  EXPECT_EQ(list.CellText(0, kStatusCell), "Stop");
  EXPECT_EQ(skin.object("pb").shownPosition, 0);
  EXPECT_EQ(skin.object("time").shownText, "00:00:00");
  EXPECT_FALSE(reader.IsOpen());
  EXPECT_FALSE(player.IsPlaying());
  // The next row is not started.
  EXPECT_EQ(state.PlayingRow, 0);
  EXPECT_EQ(list.CellText(1, kStatusCell), "unconverted");

  // The bar moves in steps while the file plays (ticks on the way, not only
  // at the end), bar and time never going back.
  ASSERT_GE(std::set<int>(bars.begin(), bars.end()).size(), 3u);
  for (std::size_t i = 1; i < bars.size(); ++i) {
    EXPECT_GE(bars[i], bars[i - 1]) << "tick " << i;
    EXPECT_GE(times[i], times[i - 1]) << "tick " << i;
  }
  const int oneBuffer = MulDiv(PreviewPlayer::kFeedFrames, 20000, state.TrackTable[0].TotalSamples);
  EXPECT_GE(bars.back(), 20000 - oneBuffer);
  EXPECT_LE(bars.back(), 20000);
  EXPECT_EQ(times.back(), MulDiv(bars.back(), state.TrackTable[0].TotalMs, 20000) / 1000);
  EXPECT_TRUE(CaughtExceptions().isEmpty()) << CaughtExceptions().join("; ").toStdString();
}

TEST_F(RealPlayerTest, PlayFromTheBarPlaysOnlyTheRest) {
  const QString path = ThreeSecondFixture();
  AddFile(path);
  InstallRecordingEvents();
  list.SelectRow(0);
  skin.object("pb").position = 15000;

  preview.Play();
  EXPECT_EQ(state.PlayStartSample, MulDiv(15000, state.TrackTable[0].TotalSamples, 20000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return ended; }, kGenerousTimeoutMs));
  ASSERT_FALSE(bars.empty());
  EXPECT_GE(bars.front(), 15000);
  EXPECT_EQ(list.CellText(0, kStatusCell), "Stop");
}

TEST_F(RealPlayerTest, PauseHaltsTheSoundAndResumeRunsToTheEnd) {
  const QString path = ThreeSecondFixture();
  AddFile(path);
  InstallRecordingEvents();
  list.SelectRow(0);
  preview.Play();
  ASSERT_TRUE(QTest::qWaitFor([&] { return bars.size() >= 4; }, kGenerousTimeoutMs));

  preview.PauseToggle();
  EXPECT_FALSE(player.IsPlaying());
  EXPECT_TRUE(reader.IsOpen());
  const int pausedAt = skin.object("pb").shownPosition;
  const std::size_t ticks = bars.size();
  QCoreApplication::processEvents();  // notes posted before the pause are dropped
  EXPECT_EQ(bars.size(), ticks);

  preview.PauseToggle();
  EXPECT_TRUE(player.IsPlaying());
  EXPECT_EQ(state.PlayStartSample, MulDiv(pausedAt, state.TrackTable[0].TotalSamples, 20000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return ended; }, kGenerousTimeoutMs));
  EXPECT_EQ(list.CellText(0, kStatusCell), "Stop");
}

}  // namespace
}  // namespace snipwave::test
