// The loudness measure (EBU R128: integrated, range, true peak) of a 60-minute
// MP3 against `ffmpeg -af ebur128=peak=true -f null -` on the same file. In
// the window the measure rides on the waveform scan's decode, so its cost
// there is the scan with the measure minus the peaks alone; `probe
// --loudness` decodes for the measure only, which is timed too.
// Wall time on a machine shared with other work swings several times over
// between runs, so the processor time (user + system, of this process's
// threads or of the ffmpeg child) is printed beside it, and the goal is
// judged on it: it is the cost of the measure, whatever else runs.
// Usage: loudness_bench [work folder]   (the input is made there once)
#include <sys/resource.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "components/audio/TAudioFile2.h"
#include "components/loudness/ReaderLoudness.h"
#include "waveform/PeakCache.h"

#include "../BenchSteps.h"
#include "DecodePeaks.h"

namespace fs = std::filesystem;
using snipwave::bench::Clock;
using snipwave::bench::Run;
using snipwave::bench::Seconds;

namespace {

// The window's scan: peaks and loudness from one decode, on the scan thread.
snipwave::loudness::Loudness ScanWithLoudness(const std::string& path) {
  snipwave::PeakCache cache;
  snipwave::PeakScanner* scanner = cache.Scan(QString::fromStdString(path));
  // Asleep until the scan ends, as the window's event loop is: processEvents
  // with a time limit polls without sleeping, which would be timed as the measure.
  QEventLoop loop;
  QObject::connect(&cache, &snipwave::PeakCache::PeaksChanged, &loop, [&] {
    if (scanner->Finished()) loop.quit();
  });
  if (!scanner->Finished()) loop.exec();
  return scanner->Loudness().value_or(snipwave::loudness::Loudness{});
}

// Processor seconds (user + system) used so far by this process or by its
// waited-for children.
double CpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Timing {
  double wall = 0, cpu = 0;
};

// One run: wall seconds and processor seconds of `who`.
Timing Time(int who, const std::function<void()>& once) {
  const double cpu = CpuSeconds(who);
  const auto t = Clock::now();
  once();
  return {Seconds(t), CpuSeconds(who) - cpu};
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const fs::path dir = fs::absolute(argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "snipwave-bench");
  fs::create_directories(dir);
  const std::string hour = snipwave::bench::MakeHourMp3(dir);

  const Timing ffmpeg = Time(RUSAGE_CHILDREN, [&] {
    Run("ffmpeg -hide_banner -nostats -loglevel error -i '" + hour + "' -af ebur128=peak=true -f null -");
  });
  // The peaks alone: the decode the scan does anyway.
  const Timing peaks = Time(RUSAGE_SELF, [&] { snipwave::bench::DecodePeaks(hour); });
  snipwave::loudness::Loudness level;
  const Timing scan = Time(RUSAGE_SELF, [&] { level = ScanWithLoudness(hour); });
  const Timing alone = Time(RUSAGE_SELF, [&] {
    snipwave::TAudioFile2 reader;
    reader.OpenFile(hour);
    level = snipwave::loudness::MeasureOpenReader(reader, 0, -1, hour);
  });
  const double sharedCpu = std::max(scan.cpu - peaks.cpu, 0.0);
  const double sharedWall = std::max(scan.wall - peaks.wall, 0.0);
  std::printf("loudness of a 60 min MP3: %s\n", snipwave::loudness::Describe(level).c_str());
  std::printf("ffmpeg ebur128=peak=true: %.2f s cpu (%.2f s wall); peaks alone %.2f s cpu (%.2f s wall); scan with "
              "loudness %.2f s cpu (%.2f s wall)\n",
              ffmpeg.cpu, ffmpeg.wall, peaks.cpu, peaks.wall, scan.cpu, scan.wall);
  std::printf("measure sharing the scan's decode: %.2f s cpu, ratio %.2f (goal <= 0.5): %s; wall %.2f s, ratio %.2f\n",
              sharedCpu, sharedCpu / ffmpeg.cpu, sharedCpu / ffmpeg.cpu <= 0.5 ? "met" : "NOT met", sharedWall,
              sharedWall / ffmpeg.wall);
  std::printf("measure alone (probe --loudness, own decode): %.2f s cpu, ratio %.2f; wall %.2f s, ratio %.2f\n",
              alone.cpu, alone.cpu / ffmpeg.cpu, alone.wall, alone.wall / ffmpeg.wall);
  return 0;
}
