// Adding 100 MP3 files of 3 to 5 minutes to the track list (real reader, real
// list widget, messages let through between files as in the program) against
// 100 runs of ffprobe on the same files. Prints both times and their ratio.
//
// The files are made once with ffmpeg into $SNIPWAVE_BENCH_DIR (default: a
// folder beside this executable) and reused by later runs.
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <cstdio>

#include "../BenchProgram.h"
#include "components/audio/TAudioFile2.h"
#include "platform/MessagePump.h"
#include "state/MainState.h"
#include "tracks/TrackListCommands.h"
#include "tracks/TrackListWidget.h"

using namespace snipwave;

namespace {

constexpr int kFileCount = 100;
constexpr int kDistinctFiles = 10;  // 180 s .. 300 s; copied to make 100

using snipwave::bench::RunProgram;

// 100 MP3 files of 3 to 5 minutes: ten distinct recordings (a tone sweep with
// noise, 128 kbit/s stereo), each copied ten times under its own name.
QStringList MakeFiles(const QString& folder) {
  QDir().mkpath(folder);
  QStringList files;
  for (int k = 0; k < kDistinctFiles; ++k) {
    const int seconds = 180 + k * 120 / (kDistinctFiles - 1);
    const QString source = QDir(folder).filePath(QString("source-%1.mp3").arg(k));
    if (!QFileInfo::exists(source)) {
      std::printf("making %s (%d s)\n", qPrintable(source), seconds);
      std::fflush(stdout);
      const QString temp = source + ".part.mp3";
      const QString audio = QString("aevalsrc=exprs='0.3*sin(2*PI*(200+%1)*t)+0.05*(random(0)-0.5)':s=44100:d=%2")
                                .arg(k * 37)
                                .arg(seconds);
      if (!RunProgram("ffmpeg", {"-hide_banner", "-loglevel", "error", "-nostdin", "-y", "-f", "lavfi", "-i", audio,
                          "-ac", "2", "-c:a", "libmp3lame", "-b:a", "128k", temp}))
        return {};
      QFile::rename(temp, source);
    }
    for (int copy = 0; copy < kFileCount / kDistinctFiles; ++copy) {
      const QString name = QDir(folder).filePath(QString("track %1-%2.mp3").arg(k).arg(copy));
      if (!QFileInfo::exists(name) && !QFile::copy(source, name)) return {};
      files << name;
    }
  }
  return files;
}

// Answers the open dialog with the prepared files; everything else is unused.
class FixedChoice final : public IDialogService {
 public:
  explicit FixedChoice(QStringList files) : files_(std::move(files)) {}
  void ShowInformation(const QString& text) override { std::fprintf(stderr, "info: %s\n", qPrintable(text)); }
  bool AskYesNo(const QString&, YesNoDefault) override { return false; }
  QStringList GetOpenFileNames(const QList<FileFilter>&) override { return files_; }
  QString GetSaveFileName(const QString&, const FileFilter&) override { return {}; }
  QString ChooseFolder(const QString&, bool) override { return {}; }

 private:
  QStringList files_;
};

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  const QString folder = qEnvironmentVariableIsSet("SNIPWAVE_BENCH_DIR")
                             ? qEnvironmentVariable("SNIPWAVE_BENCH_DIR")
                             : QDir(QCoreApplication::applicationDirPath()).filePath("bench-tracks-files");
  const QStringList files = MakeFiles(folder);
  if (files.size() != kFileCount) return 1;

  // Warm the page cache the same way for both sides.
  for (const QString& f : files) {
    QFile file(f);
    file.open(QIODevice::ReadOnly);
    while (!file.read(1 << 20).isEmpty()) {
    }
  }

  MainState state;
  TrackListWidget lv;
  lv.resize(525, 247);
  lv.show();
  TAudioFile2 reader;
  FixedChoice dialogs(files);
  QtMessagePump pump;
  state.lv = &lv;
  state.AudioFileRead = &reader;
  state.Dialogs = &dialogs;
  state.MessagePump = &pump;
  TrackListCommands commands(state);

  QElapsedTimer timer;
  timer.start();
  commands.AddFiles();
  const double addSeconds = timer.nsecsElapsed() / 1e9;
  if (lv.RowCount() != kFileCount) {
    std::fprintf(stderr, "only %d of %d files were added\n", lv.RowCount(), kFileCount);
    return 1;
  }

  timer.restart();
  for (const QString& f : files) {
    if (!RunProgram("ffprobe", {"-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", f})) return 1;
  }
  const double probeSeconds = timer.nsecsElapsed() / 1e9;

  std::int64_t totalMs = 0;
  for (int i = 0; i < kFileCount; ++i) totalMs += state.TrackTable[static_cast<std::size_t>(i)].TotalMs;
  std::printf("files: %d MP3, %.1f minutes of audio in all\n", kFileCount, totalMs / 60000.0);
  std::printf("add files (probe + rows):  %.3f s  (%.1f ms per file)\n", addSeconds, addSeconds * 1000 / kFileCount);
  std::printf("100 x ffprobe:             %.3f s  (%.1f ms per file)\n", probeSeconds,
              probeSeconds * 1000 / kFileCount);
  std::printf("ratio add / ffprobe:       %.2f\n", addSeconds / probeSeconds);
  std::printf("goal: whole add well under 2 s -> %s\n", addSeconds < 2.0 ? "met" : "NOT met");
  return 0;
}
