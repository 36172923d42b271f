// Conversion benchmarks. Each side runs as its own process (snipwave's
// command line, which drives the same job engine as the window, against the
// peer tool), best wall time of three runs; peak memory from wait4's rusage.
//
//   cut  5 of 10 minutes, MP3 -> MP3 128k quality 9   vs ffmpeg -ss/-to, libmp3lame   goal <= 1.10
//   cut  5 of 10 minutes, WAV -> WAV                  vs sox trim                     goal <= 1.25
//   join MP3 44.1k stereo + OGG 22.05k mono + WAV 48k stereo -> MP3
//                                                     vs ffmpeg concat, same resampling goal <= 1.10
//   peak memory of a whole-file MP3 cut, 60 vs 10 minutes                           goal within 10 %
//   lossless cut 5 of 10 minutes (--lossless: frames kept, edges re-encoded)
//                                                     vs the re-encoding cut above     goal <= 0.05
//                                                     vs ffmpeg -c copy (frame-accurate only) goal <= 2.0
//
// Inputs are made once with ffmpeg into $SNIPWAVE_BENCH_DIR (default: a folder
// beside this executable). The settings file is a fresh one (job defaults:
// MP3 44100 Hz stereo 128 kbit/s quality 9, CD-quality WAV).
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>

#include "BenchProcess.h"

namespace {

using namespace snipwave::bench;

void PrintRatio(const char* what, const RunResult& ours, const RunResult& peer, const char* peerName, double goal) {
  const double ratio = ours.seconds / peer.seconds;
  std::printf("%-44s snipwave %7.3f s   %-7s %7.3f s   ratio %.2f (goal <= %.2f: %s)\n", what, ours.seconds,
              peerName, peer.seconds, ratio, goal, ratio <= goal ? "met" : "NOT met");
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const BenchWorkspace workspace;
  const QString& snipwave = workspace.snipwave;
  const QString& folder = workspace.inputs;
  const QString& out = workspace.out;
  auto clearOut = [&workspace] { workspace.ClearOut(); };

  const QStringList mp3 = {"-c:a", "libmp3lame", "-b:a", "128k"};
  const QString mp3Ten = MakeInput(folder, "ten-minutes.mp3", 600, 44100, 2, mp3);
  const QString wavTen = MakeInput(folder, "ten-minutes.wav", 600, 44100, 2, {"-c:a", "pcm_s16le"});
  const QString mp3Join = MakeInput(folder, "join-44k-stereo.mp3", 180, 44100, 2, mp3);
  const QString oggJoin = MakeInput(folder, "join-22k-mono.ogg", 180, 22050, 1, {"-c:a", "libvorbis", "-q:a", "4"});
  const QString wavJoin = MakeInput(folder, "join-48k-stereo.wav", 180, 48000, 2, {"-c:a", "pcm_s16le"});
  const QString mp3Hour = MakeInput(folder, "sixty-minutes.mp3", 3600, 44100, 2, mp3);
  if (mp3Ten.isEmpty() || wavTen.isEmpty() || mp3Join.isEmpty() || oggJoin.isEmpty() || wavJoin.isEmpty() ||
      mp3Hour.isEmpty())
    return 1;
  // Warm the page cache for both sides alike.
  for (const QString& f : {mp3Ten, wavTen, mp3Join, oggJoin, wavJoin, mp3Hour}) {
    QFile file(f);
    file.open(QIODevice::ReadOnly);
    while (!file.read(1 << 22).isEmpty()) {
    }
  }

  // The 5-minute range from 2:30 to 7:30, in frames for snipwave, in seconds for the peers.
  const QString range = QString("@%1:%2").arg(150 * 44100).arg(450 * 44100);

  const RunResult cutMp3 = Best(clearOut, snipwave, {"cut", "--format", "mp3", "--out", out, mp3Ten + range});
  const RunResult ffCutMp3 =
      Best(clearOut, "ffmpeg",
           {"-hide_banner", "-loglevel", "error", "-nostdin", "-y", "-ss", "150", "-to", "450", "-i", mp3Ten, "-c:a",
            "libmp3lame", "-b:a", "128k", "-compression_level", "9", QDir(out).filePath("ff.mp3")});
  const RunResult losslessMp3 =
      Best(clearOut, snipwave, {"cut", "--format", "mp3", "--lossless", "--out", out, mp3Ten + range});
  const RunResult ffCopyMp3 = Best(clearOut, "ffmpeg",
                                   {"-hide_banner", "-loglevel", "error", "-nostdin", "-y", "-ss", "150", "-to", "450",
                                    "-i", mp3Ten, "-c", "copy", QDir(out).filePath("ff-copy.mp3")});
  const RunResult cutWav = Best(clearOut, snipwave, {"cut", "--format", "wav", "--out", out, wavTen + range});
  const RunResult soxCutWav = Best(clearOut, "sox", {wavTen, QDir(out).filePath("sox.wav"), "trim", "150", "300"});

  const RunResult join =
      Best(clearOut, snipwave, {"join", "--format", "mp3", "--out", QDir(out).filePath("mix.mp3"), mp3Join, oggJoin, wavJoin});
  const RunResult ffJoin = Best(
      clearOut, "ffmpeg",
      {"-hide_banner", "-loglevel", "error", "-nostdin", "-y", "-i", mp3Join, "-i", oggJoin, "-i", wavJoin,
       "-filter_complex",
       "[1:a]aresample=44100,aformat=sample_rates=44100:channel_layouts=stereo[b];"
       "[2:a]aresample=44100,aformat=sample_rates=44100:channel_layouts=stereo[c];"
       "[0:a][b][c]concat=n=3:v=0:a=1",
       "-c:a", "libmp3lame", "-b:a", "128k", "-compression_level", "9", QDir(out).filePath("ff-mix.mp3")});

  clearOut();
  const RunResult memTen = RunMeasured(snipwave, {"cut", "--format", "mp3", "--out", out, mp3Ten});
  clearOut();
  const RunResult memHour = RunMeasured(snipwave, {"cut", "--format", "mp3", "--out", out, mp3Hour});
  clearOut();
  if (!cutMp3.ok || !ffCutMp3.ok || !losslessMp3.ok || !ffCopyMp3.ok || !cutWav.ok || !soxCutWav.ok || !join.ok || !ffJoin.ok || !memTen.ok ||
      !memHour.ok)
    return 1;

  std::printf("\nbest of three runs, wall time\n");
  PrintRatio("cut 5 of 10 min, MP3 -> MP3 128k q9", cutMp3, ffCutMp3, "ffmpeg", 1.10);
  PrintRatio("lossless cut 5 of 10 min, MP3 -> MP3", losslessMp3, cutMp3, "re-enc", 0.05);
  PrintRatio("lossless cut 5 of 10 min, MP3 -> MP3", losslessMp3, ffCopyMp3, "ff copy", 2.0);
  PrintRatio("cut 5 of 10 min, WAV -> WAV", cutWav, soxCutWav, "sox", 1.25);
  PrintRatio("join MP3 + OGG 22k mono + WAV 48k -> MP3", join, ffJoin, "ffmpeg", 1.10);
  const double growth = double(memHour.peakKiB) / double(memTen.peakKiB);
  std::printf("peak memory, whole-file MP3 cut: 10 min %ld KiB, 60 min %ld KiB, ratio %.3f (goal <= 1.10: %s)\n",
              memTen.peakKiB, memHour.peakKiB, growth, growth <= 1.10 ? "met" : "NOT met");
  return 0;
}
