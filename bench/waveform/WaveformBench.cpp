// The peaks of a 60-minute MP3 (the reader's decode cut into min/max blocks,
// as `snipwave peaks` and the window's scan make them) against `ffmpeg`
// decoding the same file to null; the time until a new scan shows its first
// peaks; how long the GUI thread's event loop waits at worst while a scan
// runs, against the same while ffmpeg decodes the file in another process;
// the peak memory of scanning a 3-hour file; the time to the first
// whole-file overview of a never-opened file against ffprobe reading the same
// file and ffmpeg decoding one second of it; and the peak memory of
// `snipwave peaks` on a 3-hour WAV at 32 and at 256 frames per block.
// Usage: waveform_bench [work folder]   (inputs are made there once)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "components/audio/ScanCache.h"
#include "components/audio/TAudioFile2.h"
#include "waveform/PeakCache.h"

#include "../BenchSteps.h"
#include "DecodePeaks.h"
#include "../convert/BenchProcess.h"

namespace fs = std::filesystem;
using snipwave::bench::Clock;
using snipwave::bench::Run;
using snipwave::bench::Seconds;

namespace {

// Three hours: the hour's frames three times over, without encoding again.
std::string MakeThreeHours(const fs::path& dir, const std::string& hour) {
  const fs::path path = dir / "bench-180min.mp3";
  if (!fs::exists(path)) {
    const fs::path list = dir / "bench-180min.txt";
    std::ofstream(list) << "file '" << hour << "'\nfile '" << hour << "'\nfile '" << hour << "'\n";
    Run("ffmpeg -hide_banner -loglevel error -y -f concat -safe 0 -i '" + list.string() + "' -c copy '" +
        path.string() + "'");
  }
  return path.string();
}

// Three hours of 44.1 kHz stereo 16-bit PCM (1.9 GB).
std::string MakeThreeHourWav(const fs::path& dir) {
  const fs::path path = dir / "bench-180min.wav";
  if (!fs::exists(path)) {
    std::printf("making %s ...\n", path.c_str());
    std::fflush(stdout);
    Run("ffmpeg -hide_banner -loglevel error -y -f lavfi -i \"sine=f=440:r=44100:d=10800\" -ac 2 -c:a pcm_s16le '" +
        path.string() + ".part.wav' && mv '" + path.string() + ".part.wav' '" + path.string() + "'");
  }
  return path.string();
}

// Seconds from asking the cache for a scan until the peaks cover the whole
// file (the sketch, or the exact peaks of a short file).
double ScanToWholeOverview(const std::string& path) {
  snipwave::PeakCache cache;
  const auto start = Clock::now();
  snipwave::PeakScanner* scanner = cache.Scan(QString::fromStdString(path));
  while (true) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    const auto peaks = scanner->Peaks();
    if (peaks && peaks->TotalFrames() > 0 && peaks->Range(peaks->TotalFrames() - 1, peaks->TotalFrames(), 1e12))
      return Seconds(start);
    if (scanner->Finished()) return -1;
  }
}

// A background scan through the cache, as the window starts it. Returns
// seconds to the first peaks; `bytes` receives the size of the finished peaks.
double ScanToFirstPeaks(const std::string& path, bool waitForEnd, std::size_t* bytes) {
  snipwave::PeakCache cache;
  const auto start = Clock::now();
  snipwave::PeakScanner* scanner = cache.Scan(QString::fromStdString(path));
  double first = -1;
  while (true) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const auto peaks = scanner->Peaks();
    if (first < 0 && peaks && peaks->ScannedFrames() > 0) {
      first = Seconds(start);
      if (!waitForEnd) break;
    }
    if (scanner->Finished()) break;
  }
  if (bytes && scanner->Peaks()) *bytes = scanner->Peaks()->Bytes();
  return first;
}

// The longest wait, in ms, between two ticks of a 5 ms timer on this
// thread's event loop, from `start` until `done` holds.
double WorstTickGapMs(const std::function<void()>& start, const std::function<bool()>& done) {
  QElapsedTimer clock;
  qint64 last = 0, worst = 0;
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, [&] {
    const qint64 now = clock.elapsed();
    worst = std::max(worst, now - last);
    last = now;
  });
  start();
  clock.start();
  tick.start(5);
  while (!done()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  return static_cast<double>(worst);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  // Absolute: the 3-hour list names the hour by this path, read relative to the list.
  const fs::path dir = fs::absolute(argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "snipwave-bench");
  fs::create_directories(dir);
  const std::string hour = snipwave::bench::MakeHourMp3(dir);

  // Speed: the warm case for both (the file is in the page cache, and the
  // reader's demux scan is done once per process either way).
  Run("ffmpeg -hide_banner -loglevel error -i '" + hour + "' -f null - ");
  auto t = Clock::now();
  Run("ffmpeg -hide_banner -loglevel error -i '" + hour + "' -f null - ");
  const double ffmpegSeconds = Seconds(t);
  t = Clock::now();
  const std::size_t count = snipwave::bench::DecodePeaks(hour);
  const double peaksSeconds = Seconds(t);
  std::printf("peaks of 60 min MP3: %.2f s (%zu blocks of 256); ffmpeg -f null: %.2f s; ratio %.2f (goal <= 1.2)\n",
              peaksSeconds, count, ffmpegSeconds, peaksSeconds / ffmpegSeconds);

  // The first whole-file overview of a file not seen before in this process
  // (no demux scan cached), and once added to the list (the probe of adding
  // it measured it), against the peers' start: ffprobe reading the file's
  // header and ffmpeg decoding its first second.
  auto best = [](const std::function<double()>& once) {
    double b = 1e9;
    for (int i = 0; i < 3; ++i) b = std::min(b, once());
    return b;
  };
  const double cold = best([&] {
    snipwave::audio::ScanCache::Instance().Clear();
    return ScanToWholeOverview(hour);
  });
  const double added = best([&] { return ScanToWholeOverview(hour); });
  const QString hourQ = QString::fromStdString(hour);
  const double ffprobe = snipwave::bench::Best([] {}, "ffprobe", {"-v", "error", "-show_format", hourQ}).seconds;
  const double ffmpegSecond =
      snipwave::bench::Best([] {}, "ffmpeg", {"-v", "error", "-t", "1", "-i", hourQ, "-f", "null", "-"}).seconds;
  std::printf("first whole-file overview of a 60 min MP3 never opened: %.0f ms (goal < 200 ms); once listed: %.0f ms; "
              "ffprobe of it: %.0f ms (ratio %.2f); ffmpeg decoding 1 s of it: %.0f ms (ratio %.2f)\n",
              cold * 1000, added * 1000, ffprobe * 1000, cold / ffprobe, ffmpegSecond * 1000, cold / ffmpegSecond);

  // The window's responsiveness: the event loop's worst wait while the hour
  // is scanned on the scanner's thread, against the same loop while the peer
  // decodes the file in a process of its own (the load on the machine alike).
  double scanGap = 0, peerGap = 0;
  {
    snipwave::PeakCache cache;
    snipwave::PeakScanner* scanner = nullptr;
    scanGap = WorstTickGapMs([&] { scanner = cache.Scan(QString::fromStdString(hour)); },
                             [&] { return scanner->Finished(); });
    QProcess ffmpeg;
    peerGap = WorstTickGapMs(
        [&] {
          ffmpeg.start("ffmpeg", {"-hide_banner", "-loglevel", "error", "-i", QString::fromStdString(hour), "-f",
                                  "null", "-"});
        },
        [&] { return ffmpeg.state() == QProcess::NotRunning; });
  }
  std::printf("event loop's worst wait between 5 ms ticks: %.0f ms while the 60 min MP3 is scanned; %.0f ms while "
              "ffmpeg decodes it; ratio %.2f (goal < 50 ms)\n",
              scanGap, peerGap, scanGap / std::max(peerGap, 1.0));

  // Memory: a whole 3-hour scan in a child of its own.
  const std::string three = MakeThreeHours(dir, hour);
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return 1;
  const pid_t pid = fork();
  if (pid == 0) {
    close(pipeFds[0]);
    std::size_t bytes = 0;
    ScanToFirstPeaks(three, true, &bytes);
    if (write(pipeFds[1], &bytes, sizeof bytes) != sizeof bytes) std::_Exit(1);
    std::_Exit(0);
  }
  close(pipeFds[1]);
  std::size_t bytes = 0;
  if (read(pipeFds[0], &bytes, sizeof bytes) != sizeof bytes) bytes = 0;
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  std::printf("3 h MP3 scan: peaks %.1f MB (goal < 50 MB); process peak resident %.1f MB\n", bytes / 1048576.0,
              usage.ru_maxrss / 1024.0);

  // `snipwave peaks` streams: its peak memory stays the same whether it
  // writes 8 times more blocks or not (output to /dev/null).
  const std::string wav = MakeThreeHourWav(dir);
  const QString snipwave = QDir(QCoreApplication::applicationDirPath()).filePath("snipwave");
  const snipwave::bench::RunResult fine =
      snipwave::bench::RunMeasured(snipwave, {"peaks", "--samples-per-pixel", "32", QString::fromStdString(wav)});
  const snipwave::bench::RunResult coarse =
      snipwave::bench::RunMeasured(snipwave, {"peaks", "--samples-per-pixel", "256", QString::fromStdString(wav)});
  if (!fine.ok || !coarse.ok) return 1;
  std::printf("snipwave peaks of a 3 h WAV: peak resident %.1f MB at 32 frames per block (%.1f s), %.1f MB at 256 "
              "(%.1f s); ratio %.2f (goal <= 1.1)\n",
              fine.peakKiB / 1024.0, fine.seconds, coarse.peakKiB / 1024.0, coarse.seconds,
              static_cast<double>(fine.peakKiB) / static_cast<double>(coarse.peakKiB));
  return 0;
}
