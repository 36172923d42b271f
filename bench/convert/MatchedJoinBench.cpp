// A join whose ranges are matched in loudness against the same join plain.
// Each join runs as its own process (snipwave's command line); the two
// alternate, best wall time of three each.
//
//   join of 10 ranges of 20 s (0:05 to 0:25 of ten 60 s MP3s) into MP3,
//   --loudness -16 against no level choice                       goal <= 1.2
//
// The matched join reads every range twice: once to measure it (libebur128)
// and once to write it. Inputs are made once with ffmpeg into
// $SNIPWAVE_BENCH_DIR (default: a folder beside this executable).
#include <QCoreApplication>
#include <QDir>
#include <QStringList>
#include <QThread>

#include <cstdio>

#include "BenchProcess.h"

int main(int argc, char** argv) {
  using namespace snipwave::bench;
  QCoreApplication app(argc, argv);
  const BenchWorkspace workspace;
  const QStringList sources = MakeMinuteSources(workspace.inputs, 10);
  if (sources.isEmpty()) return 1;
  QStringList rows;
  for (const QString& source : sources)
    rows << source + QString("@%1:%2").arg(5 * kMinuteRate).arg(25 * kMinuteRate);
  for (const QString& source : sources) WarmPageCache(source);

  const QString output = QDir(workspace.out).filePath("joined.mp3");
  const QStringList join = {"join", "--format", "mp3", "--yes", "--out", output};
  const auto [matched, plain] =
      BestAlternating([&] { workspace.ClearOut(); }, workspace.snipwave,
                      join + QStringList{"--loudness", "-16"} + rows, join + rows);
  workspace.ClearOut();
  if (!matched.ok || !plain.ok) return 1;

  std::printf("\n%d processor cores, load average %.2f; runs alternating, best of three each, wall time (cores kept busy)\n",
              QThread::idealThreadCount(), LoadAverage());
  const double ratio = matched.seconds / plain.seconds;
  std::printf("join of 10 ranges of 20 s into MP3, --loudness -16 %7.3f s (%.2f)   plain %7.3f s (%.2f)   "
              "ratio %.2f (goal <= 1.2: %s)\n",
              matched.seconds, matched.Cores(), plain.seconds, plain.Cores(), ratio, ratio <= 1.2 ? "met" : "NOT met");
  return 0;
}
