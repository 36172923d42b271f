// The preview on a 60-minute MP3 (real reader, real SDL player):
//  1. From the "play" command to the first buffer handed to the player (which
//     the sound device pulls on its next callback), with the bar at 19000:
//     median of repeated starts, beside ffmpeg seeking to the same place and
//     decoding a tenth of a second.
//  2. CPU (user + sys seconds per minute of audio) while previewing, beside
//     `ffmpeg -re` decoding the same stretch in real time, and the resident
//     memory sampled while playing from several places of the file.
//
// The file is made once with ffmpeg into $SNIPWAVE_BENCH_DIR (default: a
// folder beside this executable). Run with SDL_AUDIODRIVER=dummy for a
// silent run; the dummy driver drains at real-time rate.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QEventLoop>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "../BenchProgram.h"
#include "FakeMainParts.h"
#include "FakeSkin.h"
#include "components/audio/TAudioFile2.h"
#include "components/audio/TAudioPlayer2.h"
#include "platform/MulDiv.h"
#include "preview/PreviewPlayer.h"
#include "state/MainState.h"

using namespace snipwave;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kMinutes = 60;
constexpr int kStartRuns = 21;

using snipwave::bench::RunProgram;

QString MakeLongMp3(const QString& folder) {
  QDir().mkpath(folder);
  const QString path = QDir(folder).filePath("preview-60min.mp3");
  if (QFileInfo::exists(path)) return path;
  std::printf("making %s (%d minutes, 128 kbit/s stereo)\n", qPrintable(path), kMinutes);
  std::fflush(stdout);
  const QString temp = path + ".part.mp3";
  const QString audio =
      QString("aevalsrc=exprs='0.3*sin(2*PI*(220+40*sin(0.1*t))*t)+0.05*(random(0)-0.5)':s=44100:d=%1").arg(kMinutes * 60);
  if (!RunProgram("ffmpeg", {"-hide_banner", "-loglevel", "error", "-nostdin", "-y", "-f", "lavfi", "-i", audio, "-ac", "2",
                      "-c:a", "libmp3lame", "-b:a", "128k", temp}))
    return {};
  QFile::rename(temp, path);
  return path;
}

double CpuSeconds(int who) {
  rusage u{};
  getrusage(who, &u);
  return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec + u.ru_stime.tv_usec / 1e6;
}

long RssKb() {
  QFile status("/proc/self/status");
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLong();
  return -1;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// The real player, noting when the preview hands it the first buffer.
class TimingPlayer final : public IAudioPlayer2 {
 public:
  TAudioPlayer2 real;
  Clock::time_point firstBuffer{};
  bool sawBuffer = false;
  void Play() override { real.Play(); }
  void Stop() override { real.Stop(); }
  void QueueBuffer(const SampleBuffer& buffer) override {
    real.QueueBuffer(buffer);
    if (!sawBuffer) {
      firstBuffer = Clock::now();
      sawBuffer = true;
    }
  }
  void SetPcmFormat(int rate, int channels) override { real.SetPcmFormat(rate, channels); }
  void SetEvents(AudioPlayerEvents events) override { real.SetEvents(std::move(events)); }
};

// Runs the event loop (the player's events and timer) for `ms` of wall time.
void PlayFor(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace

int main(int argc, char** argv) {
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  QCoreApplication app(argc, argv);
  int cpuSeconds = 60;
  for (int i = 1; i + 1 < argc; ++i)
    if (QString(argv[i]) == "--seconds") cpuSeconds = std::max(5, QString(argv[i + 1]).toInt());

  const QString folder = qEnvironmentVariable("SNIPWAVE_BENCH_DIR", QCoreApplication::applicationDirPath() + "/bench-data");
  const QString path = MakeLongMp3(folder);
  if (path.isEmpty()) return 1;

  TAudioFile2 reader;
  TimingPlayer player;
  test::FakeTrackList list;
  test::FakeSkinWindow skin;
  MainState state;
  skin.BindInto(state);
  state.lv = &list;
  state.AudioFileRead = &reader;
  state.AudioPlayer1 = &player;
  PreviewPlayer preview(state);

  reader.OpenFile(QFile::encodeName(path).toStdString(), 0, 1);
  const int totalSamples = reader.LengthSamples(), totalMs = reader.DurationMs();
  const int rate = static_cast<int>(reader.SampleRate());
  reader.CloseFile();
  state.TrackTable[0] = Timerec{0, totalSamples, totalSamples, totalMs, totalMs / 1000, path};
  state.TrackCount = 1;
  list.AppendRow(TrackRowTexts{"preview-60min.mp3", {"", "", "", "unconverted"}});
  list.SelectRow(0);

  std::int64_t lastPlayed = 0;
  AudioPlayerEvents events = preview.PlayerEvents();
  auto onTimer = events.OnTimer;
  events.OnTimer = [&](std::int64_t played, int l, int r) {
    lastPlayed = played;
    onTimer(played, l, r);
  };
  player.SetEvents(events);

  // 1. Start latency with the bar at 19000.
  std::vector<double> startMs;
  for (int run = 0; run < kStartRuns; ++run) {
    skin.object("pb").position = 19000;
    player.sawBuffer = false;
    const auto t0 = Clock::now();
    preview.Play();
    if (!player.sawBuffer) {
      std::fprintf(stderr, "play handed no buffer to the player\n");
      return 1;
    }
    startMs.push_back(std::chrono::duration<double, std::milli>(player.firstBuffer - t0).count());
    preview.Stop();
    QCoreApplication::processEvents();
  }
  // Where the start goes: the reader's own steps, timed alone.
  std::vector<double> openMs, seekMs, readMs;
  for (int run = 0; run < 7; ++run) {
    const auto a = Clock::now();
    reader.OpenFile(QFile::encodeName(path).toStdString(), 0, 1);
    const auto b = Clock::now();
    reader.SeekSample(MulDiv(19000, totalSamples, 20000), 3);
    const auto c = Clock::now();
    reader.ReadSamples(PreviewPlayer::kFeedFrames);
    const auto d = Clock::now();
    reader.CloseFile();
    openMs.push_back(std::chrono::duration<double, std::milli>(b - a).count());
    seekMs.push_back(std::chrono::duration<double, std::milli>(c - b).count());
    readMs.push_back(std::chrono::duration<double, std::milli>(d - c).count());
  }
  std::vector<double> peerMs;
  const QString seekTo = QString::number(MulDiv(19000, totalMs, 20000) / 1000.0, 'f', 3);
  for (int run = 0; run < 5; ++run) {
    QElapsedTimer t;
    t.start();
    RunProgram("ffmpeg", {"-hide_banner", "-loglevel", "error", "-nostdin", "-ss", seekTo, "-i", path, "-t", "0.1", "-f",
                   "null", "-"});
    peerMs.push_back(t.nsecsElapsed() / 1e6);
  }
  std::sort(startMs.begin(), startMs.end());
  std::printf("\n%d-minute MP3, %d Hz: play -> first buffer handed to the player, bar at 19000 (%d runs)\n",
              totalMs / 60000, rate, kStartRuns);
  std::printf("  snipwave median %.1f ms (min %.1f, max %.1f); target < 50 ms\n", Median(startMs), startMs.front(),
              startMs.back());
  std::printf("  of which (medians, reader alone): OpenFile %.1f ms, SeekSample %.1f ms, first ReadSamples %.1f ms\n",
              Median(openMs), Median(seekMs), Median(readMs));
  std::printf("  ffmpeg -ss %s -t 0.1 (process incl.) median %.1f ms; ratio snipwave/ffmpeg %.2f\n",
              qPrintable(seekTo), Median(peerMs), Median(startMs) / Median(peerMs));
  std::fflush(stdout);

  // 2. CPU while previewing, memory while playing from several places.
  skin.object("pb").position = 2000;
  lastPlayed = 0;
  const long rssBefore = RssKb();
  std::vector<long> rss;
  const double cpu0 = CpuSeconds(RUSAGE_SELF);
  QElapsedTimer wall;
  wall.start();
  preview.Play();
  for (int s = 0; s < cpuSeconds; s += 5) {
    PlayFor(5000);
    rss.push_back(RssKb());
  }
  const double cpu = CpuSeconds(RUSAGE_SELF) - cpu0;
  const double wallS = wall.nsecsElapsed() / 1e9;
  const double audioMinutes = static_cast<double>(lastPlayed) / rate / 60.0;
  preview.Stop();
  for (int bar : {6000, 10000, 14000, 19500}) {
    skin.object("pb").position = bar;
    preview.Play();
    PlayFor(4000);
    rss.push_back(RssKb());
    preview.Stop();
  }

  const double peer0 = CpuSeconds(RUSAGE_CHILDREN);
  const QString from = QString::number(MulDiv(2000, totalMs, 20000) / 1000.0, 'f', 3);
  RunProgram("ffmpeg", {"-hide_banner", "-loglevel", "error", "-nostdin", "-re", "-ss", from, "-t",
                 QString::number(cpuSeconds), "-i", path, "-f", "null", "-"});
  const double peer = CpuSeconds(RUSAGE_CHILDREN) - peer0;

  std::printf("\npreviewing %.2f minutes of audio in %.1f s wall time\n", audioMinutes, wallS);
  std::printf("  snipwave %.3f s CPU (user+sys) per minute of audio = %.2f %% of one core; target < 5 %%\n",
              cpu / audioMinutes, 100.0 * cpu / wallS);
  std::printf("  ffmpeg -re decoding the same %d s: %.3f s CPU per minute; ratio snipwave/ffmpeg %.2f\n", cpuSeconds,
              peer / (cpuSeconds / 60.0), (cpu / audioMinutes) / (peer / (cpuSeconds / 60.0)));
  std::printf("  resident memory before play %ld kB; while playing (every 5 s, then 4 s each from bars 6000, 10000, "
              "14000, 19500):\n   ",
              rssBefore);
  for (long kb : rss) std::printf(" %ld", kb);
  std::printf(" kB\n  growth first -> last sample: %+ld kB\n", rss.back() - rss.front());
  return 0;
}
