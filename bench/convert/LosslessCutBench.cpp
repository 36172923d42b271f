// A 5-minute cut of a 10-minute file by packet copy, per format, against
// ffmpeg's stream copy of the same range and against snipwave's re-encoding
// cut:
//
//   cut 5 of 10 minutes OGG   snipwave cut --lossless  vs ffmpeg -c copy     goal <= 1.00
//                             snipwave cut --lossless  vs ffmpeg -c copy, then sync --data
//                             snipwave cut --lossless  vs snipwave cut (re-encoding)
//   ... the same for OPUS, M4A (AAC) and FLAC.
//
// ffmpeg -ss -t -c copy cuts on packet boundaries and trims nothing; the
// packet copy is exact to the sample and gives the output its name only
// once its data is on the disk (an fsync), which plain ffmpeg never waits
// for; the line against ffmpeg followed by `sync --data` of its output
// compares like with like (on a busy disk the wait is most of the time of a
// copy). Each side is its own process, best wall time
// of three, run in turn. The sources (44.1 kHz stereo, Opus 48 kHz) are made
// once into $SNIPWAVE_BENCH_DIR (default: a folder beside this executable)
// with oggenc, opusenc, ffmpeg's AAC encoder and flac from one ffmpeg-made
// WAV; the page cache is warmed first. The settings are the jobs' defaults
// (OGG 44.1 kHz stereo, FLAC 16 bits), the sources' own formats.
//   bin/bench_lossless_cut
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>
#include <functional>
#include <vector>

#include "BenchProcess.h"

namespace {

using namespace snipwave::bench;

constexpr int kSeconds = 600;
constexpr int kBegin = 150, kLength = 300;  // the cut: 2:30 to 7:30

// Makes `name` from `wav` once with `program` (its arguments get the output
// path through `args`); empty when it fails.
QString MakeWithTool(const QString& folder, const QString& name, const QString& program,
                     const std::function<QStringList(const QString&)>& args) {
  const QString path = QDir(folder).filePath(name);
  if (QFileInfo::exists(path)) return path;
  std::printf("making %s\n", qPrintable(name));
  std::fflush(stdout);
  const QString temp = QDir(folder).filePath("part-" + name);
  if (!RunMeasured(program, args(temp)).ok) return {};
  QFile::rename(temp, path);
  return path;
}

void PrintRatio(const char* format, const char* what, const RunResult& ours, const char* peerName,
                const RunResult& peer, double goal) {
  const double ratio = ours.seconds / peer.seconds;
  std::printf("cut 5 of 10 minutes %-5s %-22s %7.3f s   vs %-27s %7.3f s   ratio %.2f", format, what, ours.seconds,
              peerName, peer.seconds, ratio);
  if (goal > 0) std::printf(" (goal <= %.2f: %s)", goal, ratio <= goal ? "met" : "NOT met");
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const BenchWorkspace workspace;
  const QString wav = MakeInput(workspace.inputs, "ten-minutes.wav", kSeconds, 44100, 2, {"-c:a", "pcm_s16le"});
  if (wav.isEmpty()) return 1;
  struct Format {
    const char* name;
    QString source;
  };
  const QString& in = workspace.inputs;
  const Format formats[] = {
      {"ogg", MakeWithTool(in, "ten-minutes.ogg", "oggenc",
                           [&](const QString& out) { return QStringList{"-Q", "-q", "4", "-o", out, wav}; })},
      {"opus", MakeWithTool(in, "ten-minutes.opus", "opusenc",
                            [&](const QString& out) { return QStringList{"--quiet", wav, out}; })},
      {"m4a", MakeInput(in, "ten-minutes.m4a", kSeconds, 44100, 2, {"-c:a", "aac", "-b:a", "192k"})},
      {"flac", MakeWithTool(in, "ten-minutes.flac", "flac",
                            [&](const QString& out) { return QStringList{"-s", "-f", "-o", out, wav}; })},
  };
  const QString out = workspace.out;
  auto clearOut = [&workspace] { workspace.ClearOut(); };
  struct Line {
    const char* format;
    RunResult copy, ffmpeg, ffmpegSynced, reencode;
  };
  std::vector<Line> lines;
  for (const Format& f : formats) {
    if (f.source.isEmpty()) return 1;
    WarmPageCache(f.source);
    // The reader's frames of the range: Opus counts at 48 kHz.
    const int rate = QString(f.name) == "opus" ? 48000 : 44100;
    const QString range =
        f.source + QString("@%1:%2").arg(std::int64_t(kBegin) * rate).arg(std::int64_t(kBegin + kLength) * rate);
    const QStringList cut = {"cut", "--format", f.name, "--out", out};
    const auto [copy, reencode] = BestAlternating(clearOut, workspace.snipwave, cut + QStringList{"--lossless", range},
                                                  cut + QStringList{range});
    const QStringList ffmpegArgs = {"-hide_banner", "-loglevel", "error", "-nostdin", "-y", "-ss",
                                    QString::number(kBegin), "-i", f.source, "-t", QString::number(kLength),
                                    "-map", "0:a", "-c", "copy", QDir(out).filePath(QString("ffmpeg.") + f.name)};
    const RunResult ffmpeg = Best(clearOut, "ffmpeg", ffmpegArgs);
    const RunResult ffmpegSynced =
        Best(clearOut, "bash", QStringList{"-c", "ffmpeg \"$@\" && sync --data \"${@: -1}\"", "bash"} + ffmpegArgs);
    clearOut();
    if (!copy.ok || !reencode.ok || !ffmpeg.ok || !ffmpegSynced.ok) return 1;
    lines.push_back({f.name, copy, ffmpeg, ffmpegSynced, reencode});
  }
  std::printf("\nload average %.2f; best of three runs, wall time\n", LoadAverage());
  for (const Line& l : lines) {
    PrintRatio(l.format, "snipwave cut --lossless", l.copy, "ffmpeg -ss -t -c copy", l.ffmpeg, 1.0);
    PrintRatio(l.format, "snipwave cut --lossless", l.copy, "ffmpeg -c copy + sync --data", l.ffmpegSynced, 1.0);
    PrintRatio(l.format, "snipwave cut --lossless", l.copy, "snipwave cut (re-encoding)", l.reencode, 0);
  }
  return 0;
}
