// The preview's logic against a fake player whose events the tests fire in
// the order each case needs.
#include <gtest/gtest.h>

#include "PreviewHarness.h"
#include "platform/ClockText.h"
#include "platform/MulDiv.h"

namespace snipwave::test {
namespace {

constexpr int kTenSeconds = 441000;  // frames at 44.1 kHz

class PreviewPlayerTest : public ::testing::Test {
 protected:
  PreviewHarness h;
  int StartedReads() const { return static_cast<int>(h.log.filter("ReadSamples").size()); }
};

TEST_F(PreviewPlayerTest, PlayOpensSeeksStartsAndQueuesTwoBuffersInOrder) {
  h.AddRow("/music/a.mp3", kTenSeconds, 10000);
  h.AddRow("/music/b.mp3", kTenSeconds * 2, 20000, 1, 22050);
  h.list.SelectRow(1);
  h.SetBar(5000);
  h.reader.OpenFile("/music/a.mp3", 0, 1);  // left open by an earlier operation
  h.log.clear();

  h.preview.Play();

  const int start = MulDiv(5000, kTenSeconds * 2, 20000);
  EXPECT_EQ(h.log, QStringList({"CloseFile", "OpenFile(/music/b.mp3,0,1)", "SetPcmFormat(22050,1)",
                                QString("SeekSample(%1,3)").arg(start), "Play", "ReadSamples(4410)",
                                "QueueBuffer(4410)", "ReadSamples(4410)", "QueueBuffer(4410)"}));
  EXPECT_TRUE(h.state.Playing);
  EXPECT_FALSE(h.state.Paused);
  EXPECT_EQ(h.state.PlayingRow, 1);
  EXPECT_EQ(h.state.PlayStartSample, start);
  EXPECT_EQ(h.Status(1), "Playing");
  EXPECT_EQ(h.Status(0), "unconverted");
  // The first buffer holds the frames from the bar's place on.
  ASSERT_EQ(h.player.queue.size(), 2u);
  EXPECT_EQ(h.player.queue[0].front(), static_cast<float>(start));
  EXPECT_EQ(h.player.queue[1].front(), static_cast<float>(start + 4410));
}

TEST_F(PreviewPlayerTest, PlayWithRowsButNoneSelectedSelectsRowZero) {
  h.AddRow("/music/a.mp3", kTenSeconds, 10000);
  h.AddRow("/music/b.mp3", kTenSeconds, 10000);
  h.SetBar(2000);
  h.preview.Play();
  EXPECT_EQ(h.list.SelectedRow(), 0);
  EXPECT_EQ(h.state.PlayingRow, 0);
  EXPECT_TRUE(h.log.contains("SeekSample(44100,3)"));
  EXPECT_EQ(h.Status(0), "Playing");
}

TEST_F(PreviewPlayerTest, PlayIsRefusedOnEmptyListDuringJobOrAddAndWhilePlaying) {
  h.preview.Play();  // empty list
  EXPECT_TRUE(h.log.isEmpty());
  EXPECT_FALSE(h.state.Playing);

  h.AddRow("/music/a.mp3", kTenSeconds, 10000);
  h.state.Converting = true;
  h.preview.Play();
  EXPECT_TRUE(h.log.isEmpty());
  h.state.Converting = false;

  h.state.Adding = true;
  h.preview.Play();
  EXPECT_TRUE(h.log.isEmpty());
  EXPECT_FALSE(h.state.Playing);
  h.state.Adding = false;

  h.preview.Play();
  h.log.clear();
  h.preview.Play();  // already previewing
  EXPECT_TRUE(h.log.isEmpty());
  EXPECT_TRUE(h.state.Playing);
}

TEST_F(PreviewPlayerTest, EachRequestQueuesOneBufferUntilTheEmptyOneAtTheEnd) {
  h.AddRow("/music/short.wav", 10000, 227);  // a little over two buffers
  h.preview.Play();
  ASSERT_EQ(h.player.queue.size(), 2u);
  h.player.FireEndArrayPlay();
  ASSERT_EQ(h.player.queue.size(), 3u);
  EXPECT_EQ(h.player.queue[2].size(), (10000u - 8820u) * 2);
  h.player.FireRequestOnLoadArray();
  ASSERT_EQ(h.player.queue.size(), 4u);
  EXPECT_TRUE(h.player.queue[3].empty());  // the end of the file is queued as well
  EXPECT_EQ(StartedReads(), 4);
}

TEST_F(PreviewPlayerTest, StopBringsThePreviewToRest) {
  h.AddRow("/music/a.mp3", kTenSeconds, 10000);
  h.SetBar(4000);
  h.preview.Play();
  h.player.FireTimer(4410);
  h.log.clear();

  h.preview.Stop();

  EXPECT_EQ(h.log, QStringList({"CloseFile", "Stop"}));
  EXPECT_EQ(h.Status(0), "Stop");
  EXPECT_EQ(h.pb().shownPosition, 0);
  EXPECT_EQ(h.time().shownText, "00:00:00");
  EXPECT_FALSE(h.state.Playing);
  EXPECT_FALSE(h.state.Paused);
  EXPECT_FALSE(h.reader.IsOpen());

  // Late events of the halted playback read nothing and move nothing.
  h.log.clear();
  h.player.FireRequestOnLoadArray();
  h.player.FireEndArrayPlay();
  h.player.FireTimer(88200);
  EXPECT_TRUE(h.log.isEmpty());
  EXPECT_EQ(h.pb().shownPosition, 0);
}

TEST_F(PreviewPlayerTest, StopWithNothingPlayingChangesNothing) {
  h.AddRow("/music/a.mp3", kTenSeconds, 10000);
  h.state.Converting = true;  // a job's stop goes to the job itself, not through the preview
  h.preview.Stop();
  EXPECT_TRUE(h.state.Converting);
  EXPECT_TRUE(h.log.isEmpty());
  EXPECT_EQ(h.pb().redraws + h.time().redraws, 0);
  EXPECT_EQ(h.Status(0), "unconverted");
}

TEST_F(PreviewPlayerTest, EndOfPlaybackStopsAndDoesNotMoveToTheNextRow) {
  h.AddRow("/music/a.mp3", 4410, 100);
  h.AddRow("/music/b.mp3", kTenSeconds, 10000);
  h.list.SelectRow(0);
  h.preview.Play();
  h.player.FireTimer(4410);
  EXPECT_EQ(h.pb().shownPosition, 20000);
  h.log.clear();

  h.player.FireEndPlay();

  EXPECT_EQ(h.log, QStringList({"CloseFile", "Stop"}));
  EXPECT_FALSE(h.state.Playing);
  EXPECT_EQ(h.Status(0), "Stop");
  EXPECT_EQ(h.Status(1), "unconverted");
  EXPECT_EQ(h.pb().shownPosition, 0);
  EXPECT_EQ(h.time().shownText, "00:00:00");
}

TEST_F(PreviewPlayerTest, LateEndOfPlaybackDoesNotAbortAJobStartedSince) {
  h.AddRow("/music/a.mp3", kTenSeconds, 10000);
  h.preview.Play();
  h.preview.Stop();
  h.state.Converting = true;  // a cut started after the stop
  h.player.FireEndPlay();
  EXPECT_TRUE(h.state.Converting);
}

TEST_F(PreviewPlayerTest, TimerMovesBarAndTimeAndHoldsAtTheEnd) {
  h.AddRow("/music/a.mp3", kTenSeconds, 10000);
  h.SetBar(10000);
  h.preview.Play();  // starts at frame 220500

  h.player.FireTimer(44100);  // one second played: 5.5 s of 10 s
  EXPECT_EQ(h.pb().shownPosition, MulDiv(220500 + 44100, 20000, kTenSeconds));
  EXPECT_EQ(h.pb().shownPosition, 12000);
  EXPECT_EQ(h.time().shownText, "00:00:06");

  h.player.FireTimer(44100 * 2 + 21);  // the time follows the bar, not the exact sample
  const int p = MulDiv(220500 + 88221, 20000, kTenSeconds);
  EXPECT_EQ(h.pb().shownPosition, p);
  EXPECT_EQ(h.time().shownText, ClockTextFromMs(MulDiv(p, 10000, 20000)));

  h.player.FireTimer(kTenSeconds);  // past the end of the file
  EXPECT_EQ(h.pb().shownPosition, 20000);
  EXPECT_EQ(h.time().shownText, "00:00:10");
}

TEST_F(PreviewPlayerTest, PauseHaltsAndResumeRestartsFromTheLastBarValue) {
  h.AddRow("/music/a.mp3", kTenSeconds, 10000);
  h.preview.Play();
  h.player.FireTimer(44100 * 3 + 100);  // bar at 3.0s-ish
  const int shown = h.pb().shownPosition;
  h.log.clear();

  h.preview.PauseToggle();
  EXPECT_EQ(h.log, QStringList({"Stop"}));
  EXPECT_TRUE(h.state.Playing);
  EXPECT_TRUE(h.state.Paused);
  EXPECT_EQ(h.Status(0), "pause");
  EXPECT_TRUE(h.reader.IsOpen());
  EXPECT_EQ(h.pb().shownPosition, shown);

  // Nothing is fed or shown while paused.
  h.player.FireRequestOnLoadArray();
  h.player.FireTimer(44100 * 5);
  EXPECT_EQ(h.log, QStringList({"Stop"}));
  EXPECT_EQ(h.pb().shownPosition, shown);

  h.log.clear();
  h.preview.PauseToggle();
  const int start = MulDiv(shown, kTenSeconds, 20000);
  EXPECT_EQ(h.log.mid(0, 5), QStringList({"CloseFile", "OpenFile(/music/a.mp3,0,1)", "SetPcmFormat(44100,2)",
                                          QString("SeekSample(%1,3)").arg(start), "Play"}));
  EXPECT_EQ(h.state.PlayStartSample, start);
  EXPECT_TRUE(h.state.Playing);
  EXPECT_FALSE(h.state.Paused);
  EXPECT_EQ(h.Status(0), "Playing");
  EXPECT_EQ(h.player.queue.size(), 2u);
}

TEST_F(PreviewPlayerTest, PlayWhilePausedResumesAndPauseWhenIdleDoesNothing) {
  h.AddRow("/music/a.mp3", kTenSeconds, 10000);
  h.preview.PauseToggle();
  EXPECT_TRUE(h.log.isEmpty());
  EXPECT_FALSE(h.state.Paused);

  h.preview.Play();
  h.preview.PauseToggle();
  h.SetBar(15000);  // dragged while paused
  h.preview.Play();
  EXPECT_TRUE(h.state.Playing);
  EXPECT_FALSE(h.state.Paused);
  EXPECT_EQ(h.state.PlayStartSample, MulDiv(15000, kTenSeconds, 20000));
  EXPECT_EQ(h.Status(0), "Playing");
}

TEST_F(PreviewPlayerTest, DragHaltsOnPressFollowsWithTimeAndRestartsOnRelease) {
  h.AddRow("/music/a.mp3", kTenSeconds, 10000);
  h.list.SelectRow(0);
  h.preview.Play();
  h.log.clear();

  h.preview.Skin1MouseDown(h.pb());
  EXPECT_EQ(h.log, QStringList({"Stop"}));
  EXPECT_TRUE(h.state.Playing);
  EXPECT_EQ(h.Status(0), "Playing");
  EXPECT_TRUE(h.reader.IsOpen());

  h.preview.Skin1ScrollTrack(h.pb(), 25000);  // read as 20000
  EXPECT_EQ(h.time().shownText, "00:00:10");
  h.preview.Skin1ScrollTrack(h.pb(), 9000);
  EXPECT_EQ(h.time().shownText, "00:00:04");
  h.player.FireTimer(100);  // a late timer must not pull the bar back
  h.SetBar(9000);
  EXPECT_EQ(h.time().shownText, "00:00:04");
  EXPECT_EQ(h.log, QStringList({"Stop"}));

  h.preview.Skin1MouseUp(h.pb());
  const int start = MulDiv(9000, kTenSeconds, 20000);
  EXPECT_TRUE(h.log.contains(QString("SeekSample(%1,3)").arg(start)));
  EXPECT_TRUE(h.state.Playing);
  EXPECT_EQ(h.state.PlayStartSample, start);
  EXPECT_EQ(h.player.queue.size(), 2u);
}

TEST_F(PreviewPlayerTest, DragOnOtherObjectsOrWithoutSelectionChangesNothing) {
  h.AddRow("/music/a.mp3", kTenSeconds, 10000);
  FakeSkinObject other("Pb");  // names are compared exactly
  h.preview.Skin1MouseDown(other);
  h.preview.Skin1ScrollTrack(other, 10000);
  h.preview.Skin1MouseUp(other);
  EXPECT_TRUE(h.log.isEmpty());
  EXPECT_EQ(h.time().redraws, 0);

  h.preview.Skin1ScrollTrack(h.pb(), 10000);  // no row selected
  EXPECT_EQ(h.time().redraws, 0);

  h.list.SelectRow(0);
  h.preview.Skin1MouseDown(h.pb());  // idle: halts the (silent) player only
  h.preview.Skin1ScrollTrack(h.pb(), 10000);
  h.preview.Skin1MouseUp(h.pb());
  EXPECT_EQ(h.log, QStringList({"Stop"}));
  EXPECT_EQ(h.time().shownText, "00:00:05");
  EXPECT_FALSE(h.state.Playing);
}

TEST_F(PreviewPlayerTest, DragWhilePausedOnlyMovesTheTimeAndResumeStartsThere) {
  h.AddRow("/music/a.mp3", kTenSeconds, 10000);
  h.preview.Play();
  h.preview.PauseToggle();
  h.log.clear();
  h.preview.Skin1MouseDown(h.pb());
  h.preview.Skin1ScrollTrack(h.pb(), 16000);
  h.SetBar(16000);
  h.preview.Skin1MouseUp(h.pb());
  EXPECT_EQ(h.log, QStringList({"Stop"}));
  EXPECT_TRUE(h.state.Paused);
  EXPECT_EQ(h.time().shownText, "00:00:08");

  h.preview.PauseToggle();
  EXPECT_EQ(h.state.PlayStartSample, MulDiv(16000, kTenSeconds, 20000));
}

TEST_F(PreviewPlayerTest, FeedErrorIsOneMessageAndLeavesThePreviewPlayingUntilStop) {
  h.AddRow("/music/a.mp3", kTenSeconds, 10000);
  h.preview.Play();
  h.reader.failReads = true;

  // While the box of the first failure is open, the player keeps asking and
  // its timer keeps firing: nothing more is read, nothing moves.
  PreviewHarness::RunAsEvent([&] { h.player.FireRequestOnLoadArray(); });
  h.SetBar(0);
  PreviewHarness::RunAsEvent([&] { h.player.FireEndArrayPlay(); });
  PreviewHarness::RunAsEvent([&] { h.player.FireRequestOnLoadArray(); });
  PreviewHarness::RunAsEvent([&] { h.player.FireTimer(44100); });

  ASSERT_EQ(CaughtExceptions().size(), 1);
  EXPECT_EQ(h.log.filter("ReadSamples").size(), 3);  // the two of play, the failing one
  EXPECT_EQ(h.pb().position, 0);
  EXPECT_TRUE(CaughtExceptions()[0].contains("Invalid data found when processing input"));
  EXPECT_TRUE(h.state.Playing);
  EXPECT_EQ(h.Status(0), "Playing");

  h.preview.Stop();
  EXPECT_FALSE(h.state.Playing);
  EXPECT_EQ(h.Status(0), "Stop");
}

TEST_F(PreviewPlayerTest, FileThatCannotBeOpenedKeepsStatusAndReachesTheHook) {
  h.AddRow("/music/a.mp3", kTenSeconds, 10000);
  h.AddRow("/music/gone.mp3", kTenSeconds, 10000);
  h.reader.files.erase("/music/gone.mp3");
  h.list.SelectRow(1);

  PreviewHarness::RunAsEvent([&] { h.preview.Play(); });

  ASSERT_EQ(CaughtExceptions().size(), 1);
  EXPECT_TRUE(CaughtExceptions()[0].contains("/music/gone.mp3"));
  EXPECT_EQ(h.state.PlayingRow, 1);
  EXPECT_EQ(h.Status(1), "unconverted");
  EXPECT_FALSE(h.state.Playing);
  EXPECT_FALSE(h.log.contains("Play"));
}

TEST_F(PreviewPlayerTest, ResumeOfAVanishedFileClearsBothFlags) {
  h.AddRow("/music/a.mp3", kTenSeconds, 10000);
  h.preview.Play();
  h.preview.PauseToggle();
  h.reader.files.clear();
  EXPECT_THROW(h.preview.PauseToggle(), Error);
  EXPECT_FALSE(h.state.Playing);
  EXPECT_FALSE(h.state.Paused);
  EXPECT_EQ(h.Status(0), "pause");
}

TEST_F(PreviewPlayerTest, RefusedStreamFormatStillStartsThenReportsTheError) {
  h.AddRow("/music/a.mp3", kTenSeconds, 10000);
  h.player.failSetPcmFormat = true;
  try {
    h.preview.Play();
    FAIL() << "the format error must be reported";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Audio device: unsupported format");
  }
  EXPECT_EQ(h.log.mid(1), QStringList({"SetPcmFormat(44100,2)", "SeekSample(0,3)", "Play", "ReadSamples(4410)",
                                       "QueueBuffer(8820)", "ReadSamples(4410)", "QueueBuffer(8820)"}));
  EXPECT_TRUE(h.state.Playing);
  EXPECT_EQ(h.Status(0), "Playing");
}

TEST_F(PreviewPlayerTest, FeedNeverReadsAReaderClosedOrReopenedByAnotherOperation) {
  h.AddRow("/music/a.mp3", kTenSeconds, 10000);
  h.preview.Play();
  h.reader.CloseFile();  // someone else took the reader
  h.log.clear();
  h.player.FireRequestOnLoadArray();
  h.player.FireTimer(4410);
  EXPECT_TRUE(h.log.isEmpty());

  h.preview.Stop();
  h.state.Converting = true;  // a job now reads its own file with the reader
  h.reader.OpenFile("/music/a.mp3", 0, 1);
  h.log.clear();
  h.player.FireEndArrayPlay();
  EXPECT_TRUE(h.log.isEmpty());
}

}  // namespace
}  // namespace snipwave::test
