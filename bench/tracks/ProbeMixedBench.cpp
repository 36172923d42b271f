// Probing 100 mixed files (MP3, WAV, OGG Vorbis, FLAC, Opus, M4A with AAC) with
// the reader the list uses (open, length, duration, close: the exact length
// of each, as adding a file takes it) against 100 runs of ffprobe on the same
// files. Prints both times, their ratio and the time per format.
//
// The files (one to three minutes each) are made once with ffmpeg into
// $SNIPWAVE_BENCH_DIR (default: a folder beside this executable).
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <map>

#include "../BenchProgram.h"
#include "components/audio/TAudioFile2.h"
#include "platform/Error.h"

using namespace snipwave;

namespace {

constexpr int kFileCount = 100;

struct Kind {
  const char* extension;
  QStringList codec;  // ffmpeg output options
};

const Kind kKinds[] = {
    {"mp3", {"-c:a", "libmp3lame", "-b:a", "128k"}},
    {"wav", {"-c:a", "pcm_s16le"}},
    {"ogg", {"-c:a", "libvorbis", "-q:a", "4"}},
    {"flac", {"-c:a", "flac"}},
    {"opus", {"-c:a", "libopus", "-b:a", "96k"}},
    {"m4a", {"-c:a", "aac", "-b:a", "160k"}},
};
constexpr int kKindCount = static_cast<int>(std::size(kKinds));

using snipwave::bench::RunProgram;

// File i is of kind i % 6, 60 + (i * 7) % 120 seconds long: 100 distinct files.
QStringList MakeFiles(const QString& folder) {
  QDir().mkpath(folder);
  QStringList files;
  for (int i = 0; i < kFileCount; ++i) {
    const Kind& kind = kKinds[i % kKindCount];
    const int seconds = 60 + (i * 7) % 120;
    const QString path = QDir(folder).filePath(QString("mixed-%1.%2").arg(i, 3, 10, QChar('0')).arg(kind.extension));
    if (!QFileInfo::exists(path)) {
      std::printf("making %s (%d s)\n", qPrintable(path), seconds);
      std::fflush(stdout);
      const QString temp = QDir(folder).filePath(QString("part-%1.%2").arg(i).arg(kind.extension));
      const QString audio = QString("aevalsrc=exprs='0.3*sin(2*PI*(200+%1)*t)+0.05*(random(0)-0.5)':s=%2:d=%3")
                                .arg(i * 13)
                                .arg(i % 2 ? 44100 : 48000)
                                .arg(seconds);
      if (!RunProgram("ffmpeg", QStringList{"-hide_banner", "-loglevel", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                                     audio, "-ac", "2"} +
                             kind.codec + QStringList{temp}))
        return {};
      QFile::rename(temp, path);
    }
    files << path;
  }
  return files;
}

}  // namespace

int main() {
  const QString folder = qEnvironmentVariableIsSet("SNIPWAVE_BENCH_DIR")
                             ? qEnvironmentVariable("SNIPWAVE_BENCH_DIR")
                             : QDir::current().filePath("bench-probe-files");
  const QStringList files = MakeFiles(folder);
  if (files.size() != kFileCount) return 1;
  for (const QString& f : files) {  // the page cache warmed alike for both sides
    QFile file(f);
    if (file.open(QIODevice::ReadOnly))
      while (!file.read(1 << 20).isEmpty()) {
      }
  }

  TAudioFile2 reader;
  std::map<QString, double> perKind;
  double totalMinutes = 0;
  QElapsedTimer timer, one;
  timer.start();
  for (const QString& f : files) {
    one.start();
    try {
      reader.OpenFile(f.toStdString(), 0, 1);
      totalMinutes += reader.LengthSamples() / double(reader.SampleRate()) / 60.0;
      (void)reader.DurationMs();
      reader.CloseFile();
    } catch (const Error& e) {
      std::fprintf(stderr, "the reader refused %s: %s\n", qPrintable(f), e.what());
      return 1;
    }
    perKind[QFileInfo(f).suffix()] += one.nsecsElapsed() / 1e9;
  }
  const double readerSeconds = timer.nsecsElapsed() / 1e9;

  std::map<QString, double> perKindProbe;
  timer.restart();
  for (const QString& f : files) {
    one.start();
    if (!RunProgram("ffprobe", {"-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", f})) return 1;
    perKindProbe[QFileInfo(f).suffix()] += one.nsecsElapsed() / 1e9;
  }
  const double probeSeconds = timer.nsecsElapsed() / 1e9;

  std::printf("files: %d (mp3 wav ogg flac opus m4a in turn), %.1f minutes of audio\n", kFileCount, totalMinutes);
  std::printf("reader (open, exact length, close): %.3f s  (%.1f ms per file)\n", readerSeconds,
              readerSeconds * 1000 / kFileCount);
  std::printf("100 x ffprobe:                      %.3f s  (%.1f ms per file)\n", probeSeconds,
              probeSeconds * 1000 / kFileCount);
  std::printf("ratio reader / ffprobe:             %.2f\n", readerSeconds / probeSeconds);
  for (const auto& [kind, seconds] : perKind)
    std::printf("  %-5s reader %.3f s, ffprobe %.3f s, ratio %.2f\n", qPrintable(kind), seconds, perKindProbe[kind],
                seconds / perKindProbe[kind]);
  return 0;
}
