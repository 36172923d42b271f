// The preview as a listener hears it: the real window plays through SDL's
// pulseaudio driver (these tests only; the suite runs SDL's dummy driver)
// into a private PulseAudio server whose null sink's monitor is recorded
// with parec, and the recording is compared with the source, aligned on its
// first sounding sample.
#include <QTest>
#include <algorithm>
#include <cmath>
#include <memory>
#include <sstream>

#include "Commands.h"
#include "MainWindowFixture.h"
#include "PulseServer.h"
#include "TempDir.h"
#include "components/audio/TAudioFile2.h"
#include "components/audio/TAudioPlayer2.h"
#include "tracks/TrackListWidget.h"

using namespace snipwave;
using namespace snipwave::test;

namespace {

constexpr int kGenerousTimeoutMs = 60000;
constexpr double kSeconds = 6.0;

// 16-bit white noise: every frame differs from its neighbours, so a lost,
// doubled or shifted frame shows.
QString NoiseFixture(int rate, int channels, const QStringList& effects = {}) {
  const QString tail = effects.isEmpty() ? QString() : "-" + effects.join("");
  const QString name = QString("noise-%1s-%2-%3%4.wav").arg(kSeconds).arg(rate).arg(channels).arg(tail);
  return ToolFixture(name, "sox", [&](const QString& out) {
    return QStringList{"-R", "-n", "-r", QString::number(rate), "-c", QString::number(channels), "-b", "16", out,
                       "synth", QString::number(kSeconds), "whitenoise", "vol", "0.5"} + effects;
  });
}

std::int64_t Frames(const std::vector<float>& s, int channels) {
  return static_cast<std::int64_t>(s.size()) / channels;
}
bool Silent(const std::vector<float>& s, int channels, std::int64_t frame) {
  for (int c = 0; c < channels; ++c)
    if (s[static_cast<std::size_t>(frame * channels + c)] != 0.0f) return false;
  return true;
}
std::int64_t FirstSounding(const std::vector<float>& s, int channels) {
  for (std::int64_t f = 0; f < Frames(s, channels); ++f)
    if (!Silent(s, channels, f)) return f;
  return -1;
}
bool SameFrame(const std::vector<float>& a, std::int64_t fa, const std::vector<float>& b, std::int64_t fb,
               int channels) {
  return std::equal(a.begin() + fa * channels, a.begin() + (fa + 1) * channels, b.begin() + fb * channels);
}

// The first source frame from `from` on where the recording's frames from
// `at` continue the source for a while (-1: nowhere).
std::int64_t FindInSource(const std::vector<float>& recording, std::int64_t at, const std::vector<float>& source,
                          std::int64_t from, int channels) {
  constexpr int kRun = 32;
  if (at + kRun > Frames(recording, channels)) return -1;
  for (std::int64_t o = from; o + kRun <= Frames(source, channels); ++o) {
    int k = 0;
    while (k < kRun && SameFrame(recording, at + k, source, o + k, channels)) ++k;
    if (k == kRun) return o;
  }
  return -1;
}

// Empty when the recording holds exactly `expected` (every frame bit-exact,
// in order) between silence; else what went wrong, in frames of the source.
std::string CompareExact(const std::vector<float>& recording, const std::vector<float>& expected, int channels) {
  const std::int64_t n = Frames(expected, channels), length = Frames(recording, channels);
  const std::int64_t start = FirstSounding(recording, channels);
  if (start < 0) return "the recording is silent";
  const std::int64_t from = FindInSource(recording, start, expected, 0, channels);
  if (from < 0) return "the first sounding frames are not the source's";
  std::int64_t k = 0;
  while (from + k < n && start + k < length && SameFrame(recording, start + k, expected, from + k, channels)) ++k;
  std::ostringstream why;
  if (from > FirstSounding(expected, channels)) why << "the first " << from << " frames never sounded; ";
  if (from + k < n) {
    std::int64_t gap = 0;
    while (start + k + gap < length && Silent(recording, channels, start + k + gap)) ++gap;
    why << "the sound stops matching at source frame " << from + k << " of " << n;
    if (start + k + gap == length)
      why << " (the last " << n - from - k << " never sounded)";
    else
      why << " (" << gap << " frames of silence, then source frame "
          << FindInSource(recording, start + k + gap, expected, from + k, channels) << ")";
  }
  for (std::int64_t f = start + k; f < length && why.str().empty(); ++f)
    if (!Silent(recording, channels, f)) why << "more sound after the end, " << f - start << " frames from the start";
  return why.str();
}

std::vector<float> Slice(const std::vector<float>& s, int channels, std::int64_t from, std::int64_t frames) {
  return {s.begin() + from * channels, s.begin() + (from + frames) * channels};
}

// The recording frame within `range` of `guess` where frames [from, from +
// frames) of `reference` match best, and how well (correlation).
std::pair<std::int64_t, double> BestMatch(const std::vector<float>& recording, const std::vector<float>& reference,
                                          int channels, std::int64_t from, std::int64_t frames, std::int64_t guess,
                                          std::int64_t range) {
  const std::vector<float> part = Slice(reference, channels, from, frames);
  std::pair<std::int64_t, double> best{-1, -1.0};
  for (std::int64_t at = std::max<std::int64_t>(0, guess - range);
       at <= guess + range && at + frames <= Frames(recording, channels); ++at) {
    const double c = Correlation(part, Slice(recording, channels, at, frames));
    if (c > best.second) best = {at, c};
  }
  return best;
}

class SoundServer : public MainWindowFixture {
 protected:
  void TearDown() override {
    MainWindowFixture::TearDown();
    server.reset();
    qunsetenv("PULSE_SERVER");
    qputenv("SDL_AUDIODRIVER", driver);
  }

  // A private server whose sink runs at `rate` with `channels`, recorded
  // from now on; the player plays into it from its next start.
  void StartServer(int rate, int channels) {
    server = std::make_unique<PulseServer>(folder.file("pulse"), rate, channels);
    const QString started = server->Start();
    ASSERT_TRUE(started.isEmpty()) << "no sound server: " << started.toStdString();
    qputenv("SDL_AUDIODRIVER", "pulseaudio");
    qputenv("PULSE_SERVER", server->Address().toUtf8());
    const QString recording = server->StartRecording();
    ASSERT_TRUE(recording.isEmpty()) << "no recording: " << recording.toStdString();
  }

  void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(window().lv, static_cast<Qt::Key>(key), mods);
  }
  const Timerec& Row(int i) { return state().TrackTable[static_cast<std::size_t>(i)]; }

  // Waits until the preview has come to rest by itself (its end handled as
  // the stop command: status "Stop", bar and time at 0), then until the
  // monitor has delivered another half second, and returns the recording.
  std::vector<float> HearUntilTheEnd() {
    const bool ended = QTest::qWaitFor([&] { return !state().Playing; }, kGenerousTimeoutMs);
    EXPECT_TRUE(ended) << "the preview never ended";
    EXPECT_EQ(state().lv->CellText(0, kStatusCell), "Stop");
    EXPECT_EQ(state().pb.GetPosition(), 0);
    EXPECT_TRUE(CaughtExceptions().isEmpty()) << CaughtExceptions().join("; ").toStdString();
    const std::int64_t atEnd = server->RecordedFrames();
    EXPECT_TRUE(QTest::qWaitFor([&] { return server->RecordedFrames() >= atEnd + server->Rate() / 2; },
                                kGenerousTimeoutMs))
        << "the recording stalled";
    return server->StopRecording();
  }

  TempDir folder;
  std::unique_ptr<PulseServer> server;
  const QByteArray driver = qgetenv("SDL_AUDIODRIVER");
};

// A file played with Space at the sink's own rate and layout: every frame
// sounds, bit-exact, from the first to the last.
struct OwnRate {
  const char* name;
  int rate;
  int channels;
};
void PrintTo(const OwnRate& c, std::ostream* os) { *os << c.name; }
class SoundServerOwnRate : public SoundServer, public ::testing::WithParamInterface<OwnRate> {};

TEST_P(SoundServerOwnRate, TheWholeFileSoundsBitExact) {
  const OwnRate c = GetParam();
  const QString path = NoiseFixture(c.rate, c.channels);
  const std::vector<float> source = DecodeWithFfmpeg(path);
  ASSERT_EQ(Frames(source, c.channels), std::llround(kSeconds * c.rate));
  ASSERT_NO_FATAL_FAILURE(StartServer(c.rate, c.channels));
  window().AddFromCommandLine({path});
  ASSERT_EQ(state().lv->RowCount(), 1);
  window().lv->setFocus();
  Key(Qt::Key_Space);
  ASSERT_TRUE(state().Playing);
  const std::vector<float> heard = HearUntilTheEnd();
  EXPECT_EQ(CompareExact(heard, source, c.channels), "") << Frames(source, c.channels) << " frames at " << c.rate << " Hz";
}

INSTANTIATE_TEST_SUITE_P(Files, SoundServerOwnRate,
                         ::testing::Values(OwnRate{"Stereo44100", 44100, 2}, OwnRate{"Stereo48000", 48000, 2},
                                           OwnRate{"Mono22050", 22050, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

// "Play range" (P) of [1.000 s, 3.500 s): exactly the range's frames sound,
// no more, no fewer.
TEST_F(SoundServer, PlayRangeSoundsExactlyTheRange) {
  const QString path = NoiseFixture(44100, 2);
  const std::vector<float> source = DecodeWithFfmpeg(path);
  ASSERT_NO_FATAL_FAILURE(StartServer(44100, 2));
  window().AddFromCommandLine({path});
  window().lv->setFocus();
  Key(Qt::Key_Right);  // 1 s
  Key(Qt::Key_B);
  Key(Qt::Key_Right);
  Key(Qt::Key_Right);
  for (int i = 0; i < 5; ++i) Key(Qt::Key_Right, Qt::ShiftModifier);  // 0.1 s each
  Key(Qt::Key_E);
  ASSERT_EQ(Row(0).BeginSample, 44100);
  ASSERT_EQ(Row(0).EndSample, 154350);
  Key(Qt::Key_P);
  ASSERT_TRUE(state().Playing);
  const std::vector<float> heard = HearUntilTheEnd();
  const std::vector<float> range(source.begin() + 44100 * 2, source.begin() + 154350 * 2);
  EXPECT_EQ(CompareExact(heard, range, 2), "") << "110250 frames of the range";
}

// A 48 kHz file on a sink at 44.1 kHz: the server resamples it (soxr, very
// high quality), so the recording is compared with the source resampled by
// sox: head and tail line up at the same distance (the same length, to a
// frame) and the whole correlates above 0.999. The two resamplers' outputs
// may sit a fraction of a frame apart; noise below 1 kHz keeps that from
// counting.
TEST_F(SoundServer, A48kHzFileResampledByTheServerSoundsWhole) {
  const QString path = NoiseFixture(48000, 2, {"sinc", "-1000"});
  const QString resampled = ToolFixture("noise-6s-48000-2-sinc-1000-at-44100.wav", "sox", [&](const QString& out) {
    return QStringList{path, "-e", "floating-point", "-b", "32", out, "rate", "-v", "44100"};
  });
  const std::vector<float> reference = DecodeWithFfmpeg(resampled);
  const std::int64_t n = Frames(reference, 2);
  ASSERT_EQ(n, 264600);
  ASSERT_NO_FATAL_FAILURE(StartServer(44100, 2));
  window().AddFromCommandLine({path});
  window().lv->setFocus();
  Key(Qt::Key_Space);
  ASSERT_TRUE(state().Playing);
  const std::vector<float> heard = HearUntilTheEnd();
  std::int64_t onset = 0;
  while (onset < Frames(heard, 2) && std::fabs(heard[static_cast<std::size_t>(onset) * 2]) < 0.01f) ++onset;
  constexpr std::int64_t kPart = 4096, kRange = 256;
  const auto head = BestMatch(heard, reference, 2, 0, kPart, onset, kRange);
  ASSERT_GE(head.first, 0) << "no sound";
  const auto tail = BestMatch(heard, reference, 2, n - kPart, kPart, head.first + n - kPart, kRange);
  EXPECT_GT(head.second, 0.999) << "the start";
  EXPECT_GT(tail.second, 0.999) << "the end";
  EXPECT_NEAR(static_cast<double>(tail.first - head.first), static_cast<double>(n - kPart), 1.0)
      << "the recording's length differs from the source's";
  ASSERT_LE(head.first + n, Frames(heard, 2));
  EXPECT_GT(Correlation(reference, Slice(heard, 2, head.first, n)), 0.999);
}

// The player's position (what the bar and readouts show) follows what the
// server plays, not what it was handed: at each tick it is compared with
// how much of the stream the monitor had delivered to the recorder by then.
// That delivery trails the sound by the recorder's own lag (a few ms), so the
// median is what counts. A position taken from what the device was handed
// runs ahead by what the device holds: 30 ms and more here.
TEST_F(SoundServer, ThePlayersPositionFollowsWhatTheServerPlays) {
  const QString path = NoiseFixture(44100, 2);
  ASSERT_NO_FATAL_FAILURE(StartServer(44100, 2));
  TAudioFile2 reader;
  reader.OpenFile(path.toStdString());
  TAudioPlayer2 player;
  player.SetPcmFormat(44100, 2);
  std::vector<std::pair<std::int64_t, std::int64_t>> ticks;  // position, frames recorded then
  bool ended = false;
  const auto feed = [&] { player.QueueBuffer(reader.ReadSamples(4410)); };
  AudioPlayerEvents events;
  events.OnEndArrayPlay = feed;
  events.OnRequestOnLoadArray = feed;
  events.OnTimer = [&](std::int64_t position, int, int) { ticks.emplace_back(position, server->RecordedFrames()); };
  events.OnEndPlay = [&] { ended = true; };
  player.SetEvents(events);
  player.Play();
  feed();
  feed();
  ASSERT_TRUE(QTest::qWaitFor([&] { return ended; }, kGenerousTimeoutMs));
  player.Stop();
  const std::int64_t atEnd = server->RecordedFrames();
  ASSERT_TRUE(QTest::qWaitFor([&] { return server->RecordedFrames() >= atEnd + 22050; }, kGenerousTimeoutMs));
  const std::vector<float> heard = server->StopRecording();
  const std::int64_t first = FirstSounding(heard, 2);
  ASSERT_GE(first, 0);
  ASSERT_FALSE(ticks.empty());
  EXPECT_EQ(ticks.back().first, 264600);  // the end shows the whole file
  std::vector<std::int64_t> ahead;  // of what the recorder had, in frames
  for (const auto& [position, recorded] : ticks)
    if (position > 0 && position < 264600) ahead.push_back(position - (recorded - first));
  ASSERT_GE(ahead.size(), 50u);
  std::nth_element(ahead.begin(), ahead.begin() + ahead.size() / 2, ahead.end());
  const std::int64_t median = ahead[ahead.size() / 2];
  EXPECT_LT(median, 44100 * 20 / 1000) << "the position runs " << median << " frames ahead of the sound";
  EXPECT_GT(median, -44100 * 100 / 1000) << "the position lags " << -median << " frames behind the sound";
}

}  // namespace
