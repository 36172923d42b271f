// Rows cut at once against one at a time, and the share of a cut's time that
// goes to checking its outputs. Each cut runs as its own process (snipwave's
// command line); runs with 2 and 1 jobs alternate, best wall time of three each.
//
//   cut 10 files of 60 s, MP3 -> MP3 128k q9, --jobs 2 vs --jobs 1      goal <= 0.65 (2 cores)
//   lossless cut of 10 rows (0:05 to 0:55 of each), --jobs 2 vs --jobs 1 no goal: the frames are
//     copied as bytes and only the edges re-encoded, so the disk, not the cores, bounds it
//   output check of those 10 files (reopened, length by demux scan)
//     against the whole --jobs 1 cut                                      goal <= 5 %
//
// The check is timed here, in this process, on the cut's own outputs with a
// fresh reader and an empty scan memory, exactly as the job calls it after
// each output is closed. Inputs are made once with ffmpeg into
// $SNIPWAVE_BENCH_DIR (default: a folder beside this executable). The
// window's own cut of the same rows is bench_window_cut.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <chrono>
#include <cstdio>

#include "BenchProcess.h"
#include "components/audio/ScanCache.h"
#include "components/audio/TAudioFile2.h"
#include "convert/OutputCheck.h"

namespace {

using namespace snipwave::bench;

constexpr int kFiles = 10;
constexpr int kSeconds = kMinuteSeconds;
constexpr int kRate = kMinuteRate;

// Seconds the output check takes for every file of `folder`, best of three;
// negative when an output fails its check.
double CheckSeconds(const QString& folder) {
  double best = -1;
  for (int run = 0; run < 3; ++run) {
    double total = 0;
    for (const QString& name : QDir(folder).entryList(QDir::Files)) {
      const QString path = QDir(folder).filePath(name);
      snipwave::audio::ScanCache::Instance().Clear();
      snipwave::TAudioFile2 checker;
      const auto start = std::chrono::steady_clock::now();
      const std::optional<QString> failure =
          snipwave::detail::CheckOutputLength(checker, path, path, std::int64_t(kSeconds) * kRate, kRate);
      total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      if (failure) {
        std::fprintf(stderr, "%s\n", qPrintable(*failure));
        return -1;
      }
    }
    if (best < 0 || total < best) best = total;
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const BenchWorkspace workspace;
  const QString& snipwave = workspace.snipwave;
  const QString& folder = workspace.inputs;
  const QString& out = workspace.out;
  auto clearOut = [&workspace] { workspace.ClearOut(); };

  const QStringList sources = MakeMinuteSources(folder, kFiles);
  if (sources.isEmpty()) return 1;
  // The lossless rows: 0:05 to 0:55, in frames, so each row has two edges to re-encode.
  QStringList losslessRows;
  for (const QString& source : sources) losslessRows << source + QString("@%1:%2").arg(5 * kRate).arg(55 * kRate);

  const QStringList cut = {"cut", "--format", "mp3", "--out", out};
  const auto [parallel, serial] = BestAlternating(clearOut, snipwave, cut + QStringList{"--jobs", "2"} + sources,
                                                   cut + QStringList{"--jobs", "1"} + sources);
  if (!parallel.ok || !serial.ok) return 1;
  const double check = CheckSeconds(out);  // the outputs of the last run, one with --jobs 1
  if (check < 0) return 1;
  const QStringList lossless = cut + QStringList{"--lossless"};
  const auto [losslessParallel, losslessSerial] =
      BestAlternating(clearOut, snipwave, lossless + QStringList{"--jobs", "2"} + losslessRows,
                      lossless + QStringList{"--jobs", "1"} + losslessRows);
  clearOut();
  if (!losslessParallel.ok || !losslessSerial.ok) return 1;

  std::printf("\n%d processor cores, load average %.2f; runs alternating, best of three each, wall time (cores kept busy)\n",
              QThread::idealThreadCount(), LoadAverage());
  const double ratio = parallel.seconds / serial.seconds;
  std::printf("cut %d x %d s MP3 -> MP3, --jobs 2 %7.3f s (%.2f)   --jobs 1 %7.3f s (%.2f)   ratio %.2f (goal <= 0.65: %s)\n",
              kFiles, kSeconds, parallel.seconds, parallel.Cores(), serial.seconds, serial.Cores(), ratio,
              ratio <= 0.65 ? "met" : "NOT met");
  std::printf("lossless cut %d rows of 50 s, MP3 -> MP3, --jobs 2 %7.3f s (%.2f)   --jobs 1 %7.3f s (%.2f)   "
              "ratio %.2f (no goal: frames copied as bytes, the disk bounds it)\n",
              kFiles, losslessParallel.seconds, losslessParallel.Cores(), losslessSerial.seconds, losslessSerial.Cores(),
              losslessParallel.seconds / losslessSerial.seconds);
  const double share = check / serial.seconds;
  std::printf("output check of the %d outputs %7.3f s   of the --jobs 1 cut %7.3f s   share %.1f %% (goal <= 5 %%: %s)\n",
              kFiles, check, serial.seconds, share * 100, share <= 0.05 ? "met" : "NOT met");
  return 0;
}
