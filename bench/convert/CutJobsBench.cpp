// Rows cut at once against one at a time, and the share of a cut's time that
// goes to checking its outputs. Each cut runs as its own process (snipwave's
// command line), best wall time of three runs.
//
//   cut 10 files of 60 s, MP3 -> MP3 128k q9, --jobs 2 vs --jobs 1      goal <= 0.65 (2 cores)
//   output check of those 10 files (reopened, length by demux scan)
//     against the whole --jobs 1 cut                                      goal <= 5 %
//
// The check is timed here, in this process, on the cut's own outputs with a
// fresh reader and an empty scan memory, exactly as the job calls it after
// each output is closed. Inputs are made once with ffmpeg into
// $SNIPWAVE_BENCH_DIR (default: a folder beside this executable).
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
constexpr int kSeconds = 60;
constexpr int kRate = 44100;

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

  QStringList sources;
  for (int i = 1; i <= kFiles; ++i) {
    const QString source = MakeInput(folder, QString("minute-%1.mp3").arg(i), kSeconds, kRate, 2,
                                     {"-c:a", "libmp3lame", "-b:a", "128k"});
    if (source.isEmpty()) return 1;
    sources << source;
    QFile file(source);  // warm the page cache for every run alike
    file.open(QIODevice::ReadOnly);
    while (!file.read(1 << 22).isEmpty()) {
    }
  }

  const QStringList cut = {"cut", "--format", "mp3", "--out", out};
  const RunResult parallel = Best(clearOut, snipwave, cut + QStringList{"--jobs", "2"} + sources);
  const RunResult serial = Best(clearOut, snipwave, cut + QStringList{"--jobs", "1"} + sources);
  if (!parallel.ok || !serial.ok) return 1;
  const double check = CheckSeconds(out);  // the outputs of the last serial run
  if (check < 0) return 1;

  std::printf("\n%d processor cores; best of three runs, wall time\n", QThread::idealThreadCount());
  const double ratio = parallel.seconds / serial.seconds;
  std::printf("cut %d x %d s MP3 -> MP3, --jobs 2 %7.3f s   --jobs 1 %7.3f s   ratio %.2f (goal <= 0.65: %s)\n",
              kFiles, kSeconds, parallel.seconds, serial.seconds, ratio, ratio <= 0.65 ? "met" : "NOT met");
  const double share = check / serial.seconds;
  std::printf("output check of the %d outputs %7.3f s   of the --jobs 1 cut %7.3f s   share %.1f %% (goal <= 5 %%: %s)\n",
              kFiles, check, serial.seconds, share * 100, share <= 0.05 ? "met" : "NOT met");
  return 0;
}
