#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <cstdlib>

#include "AudioTestHelpers.h"
#include "components/audio/TAudioFile2.h"
#include "components/audio/TAudioPlayer2.h"
#include "platform/Error.h"

namespace snipwave::test {
namespace {

constexpr int kBufferFrames = 4410;

// Runs the event loop until `done` holds (the dummy driver plays in real
// time; the limit only guards against a hang).
template <typename Pred>
bool RunUntil(Pred done, int limitMs = 20000) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < limitMs) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
  return done();
}

struct Feed {
  TAudioFile2 reader;
  TAudioPlayer2 player;
  int endArray = 0, requests = 0, endPlay = 0, timers = 0;
  std::int64_t lastSamples = 0;
  std::int64_t queuedFrames = 0;
  bool timerOnGuiThread = true;

  explicit Feed(const QString& path) {
    reader.OpenFile(path.toStdString());
    player.SetPcmFormat(static_cast<int>(reader.SampleRate()), reader.Channels());
    AudioPlayerEvents events;
    events.OnEndArrayPlay = [this] { ++endArray; FeedOne(); };
    events.OnRequestOnLoadArray = [this] { ++requests; FeedOne(); };
    events.OnTimer = [this](std::int64_t samples, int, int) {
      ++timers;
      lastSamples = samples;
      timerOnGuiThread = timerOnGuiThread && QThread::currentThread() == QCoreApplication::instance()->thread();
    };
    events.OnEndPlay = [this] { ++endPlay; };
    player.SetEvents(std::move(events));
  }
  void FeedOne() {
    const SampleBuffer b = reader.ReadSamples(kBufferFrames);
    queuedFrames += static_cast<std::int64_t>(b.size()) / reader.Channels();
    player.QueueBuffer(b);
  }
};

// The preview's protocol: two buffers queued after Play, one more on each
// event, an empty one at the end; OnEndPlay once, after everything played.
TEST(Player, PlaysTheWholeFeedAndEndsOnce) {
  Feed feed(ChirpFixture("chirp1.wav", 1.0, 44100, 2));
  feed.player.Play();
  feed.FeedOne();
  feed.FeedOne();
  ASSERT_TRUE(RunUntil([&] { return feed.endPlay > 0; }));
  EXPECT_EQ(feed.queuedFrames, 44100);
  // Nothing more arrives after the end.
  RunUntil([] { return false; }, 300);
  EXPECT_EQ(feed.endPlay, 1);
  EXPECT_GE(feed.endArray, 44100 / kBufferFrames);
  EXPECT_GE(feed.timers, 2);  // while playing (feeding takes turns of the loop), and at the end
  EXPECT_TRUE(feed.timerOnGuiThread);
  EXPECT_GE(feed.lastSamples, 44100 - kBufferFrames);
  EXPECT_LE(feed.lastSamples, 44100);
  feed.player.Stop();
}

TEST(Player, StopMidwayRaisesNoEndPlay) {
  Feed feed(ChirpFixture("chirp1.wav", 1.0, 44100, 2));
  feed.player.Play();
  feed.FeedOne();
  feed.FeedOne();
  ASSERT_TRUE(RunUntil([&] { return feed.lastSamples > 8000; }));
  feed.player.Stop();
  const int arraysAtStop = feed.endArray;
  RunUntil([] { return false; }, 1500);
  EXPECT_EQ(feed.endPlay, 0);
  EXPECT_EQ(feed.endArray, arraysAtStop);  // no stale events either
  EXPECT_LT(feed.lastSamples, 44100);
  // Playing again starts counting afresh.
  feed.reader.SeekSample(0, 3);
  feed.player.Play();
  feed.FeedOne();
  ASSERT_TRUE(RunUntil([&] { return feed.timers > 0 && feed.lastSamples < 20000; }));
  feed.player.Stop();
}

TEST(Player, NoAudioDeviceIsAClearErrorFromPlay) {
  const QByteArray saved = qgetenv("SDL_AUDIODRIVER");
  qputenv("SDL_AUDIODRIVER", "no-such-driver");
  TAudioPlayer2 player;
  try {
    player.Play();
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("sound output"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(player.IsPlaying());
  qputenv("SDL_AUDIODRIVER", saved);
  EXPECT_THROW(player.QueueBuffer(SampleBuffer(3, 0.f)), Error);
  EXPECT_THROW(player.SetPcmFormat(0, 2), Error);
}

}  // namespace
}  // namespace snipwave::test
