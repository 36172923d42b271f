// The byte copy of a PCM WAV range against dd moving the same bytes:
//
//   cut 50 of 60 minutes WAV -> WAV (byte copy)   CopyPcmWavRange    vs dd              goal <= 1.50
//   cut 50 of 60 minutes WAV -> WAV (snipwave)    snipwave cut       vs dd              goal <= 1.50
//                                                 snipwave cut       vs dd conv=fsync   goal <= 1.50
//
// The cut gives its output its name only once the data is on the disk (an
// fsync of the whole file, PendingOutputFile), which plain dd never waits
// for; dd conv=fsync does the same wait, so that line compares like with like.
//
// Each side is its own process, best wall time of three: this executable
// run as a driver (`--copy SRC BEGIN END OUT`) calls CopyPcmWavRange, dd
// copies the range's sample bytes with 16 MiB blocks. The 60-minute 44.1 kHz
// stereo 16-bit input is made once with ffmpeg into $SNIPWAVE_BENCH_DIR
// (default: a folder beside this executable); the page cache is warmed first.
// The settings file says [wav] mode=0 (CD quality: 44.1 kHz stereo 16 bit),
// the input's own format, so the cut takes the byte copy; its output is
// checked to hold exactly the range's bytes in that format.
//   bin/bench_wav_copy
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <optional>

#include "BenchProcess.h"
#include "components/audio/PcmWavCopy.h"
#include "platform/Error.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

namespace {

using namespace snipwave::bench;

int Drive(const char* source, const char* begin, const char* end, const char* output) {
  try {
    const QString path = QString::fromLocal8Bit(source);
    const std::optional<snipwave::audio::PcmWavLayout> layout = snipwave::audio::ReadPcmWavLayout(path);
    if (!layout) {
      std::fprintf(stderr, "%s is no plain PCM WAV\n", source);
      return 1;
    }
    snipwave::audio::CopyPcmWavRange(*layout, path, std::stoll(begin), std::stoll(end), QString::fromLocal8Bit(output));
    return 0;
  } catch (const snipwave::Error& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}

// True when `output` is a 44.1 kHz stereo 16-bit PCM WAV holding exactly
// the bytes of frames [begin, end) of the source.
bool HoldsRange(const QString& output, const QString& source, const snipwave::audio::PcmWavLayout& sourceLayout,
                std::int64_t begin, std::int64_t end) {
  const std::optional<snipwave::audio::PcmWavLayout> layout = snipwave::audio::ReadPcmWavLayout(output);
  if (!layout || layout->sampleRate != 44100 || layout->channels != 2 || layout->bitsPerSample != 16 ||
      layout->frames != end - begin)
    return false;
  QFile a(output), b(source);
  if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly) || !a.seek(layout->dataOffset) ||
      !b.seek(sourceLayout.dataOffset + begin * sourceLayout.blockAlign))
    return false;
  for (std::int64_t left = (end - begin) * layout->blockAlign; left > 0;) {
    const qint64 chunk = std::min<std::int64_t>(left, 1 << 22);
    const QByteArray x = a.read(chunk), y = b.read(chunk);
    if (x.size() != chunk || x != y) return false;
    left -= chunk;
  }
  return true;
}

void PrintRatio(const char* what, const RunResult& ours, const char* peerName, const RunResult& dd, double goal) {
  const double ratio = ours.seconds / dd.seconds;
  std::printf("%-47s %7.3f s   vs %-13s %7.3f s   ratio %.2f", what, ours.seconds, peerName, dd.seconds, ratio);
  if (goal > 0) std::printf(" (goal <= %.2f: %s)", goal, ratio <= goal ? "met" : "NOT met");
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 6 && std::string(argv[1]) == "--copy") return Drive(argv[2], argv[3], argv[4], argv[5]);

  QCoreApplication app(argc, argv);
  const BenchWorkspace workspace;
  namespace keys = snipwave::settings;
  snipwave::SettingsStore(QString::fromUtf8(keys::kFileName.data(), keys::kFileName.size()))
      .WriteInteger(keys::section::kWav, keys::key::kMode, keys::kWavModeCdQuality);
  auto clearOut = [&workspace] { workspace.ClearOut(); };
  const QString hour = MakeInput(workspace.inputs, "sixty-minutes.wav", 3600, 44100, 2, {"-c:a", "pcm_s16le"});
  if (hour.isEmpty()) return 1;
  const std::optional<snipwave::audio::PcmWavLayout> layout = snipwave::audio::ReadPcmWavLayout(hour);
  if (!layout) {
    std::fprintf(stderr, "%s is no plain PCM WAV\n", qPrintable(hour));
    return 1;
  }
  {
    QFile file(hour);
    file.open(QIODevice::ReadOnly);
    while (!file.read(1 << 22).isEmpty()) {
    }
  }

  // 5:00 to 55:00: frames for snipwave, bytes for dd.
  const std::int64_t begin = 300LL * 44100, end = 3300LL * 44100;
  const QString skip = QString::number(layout->dataOffset + begin * layout->blockAlign);
  const QString count = QString::number((end - begin) * layout->blockAlign);
  const QString out = workspace.out;

  const QStringList ddArgs = {"if=" + hour, "of=" + QDir(out).filePath("dd.raw"), "bs=16M", "skip=" + skip,
                              "count=" + count, "iflag=skip_bytes,count_bytes", "status=none"};
  const RunResult dd = Best(clearOut, "dd", ddArgs);
  const RunResult ddSynced = Best(clearOut, "dd", ddArgs + QStringList{"conv=fsync"});
  const RunResult copy = Best(clearOut, QCoreApplication::applicationFilePath(),
                              {"--copy", hour, QString::number(begin), QString::number(end), QDir(out).filePath("copy.wav")});
  const RunResult cut = Best(clearOut, workspace.snipwave,
                             {"cut", "--format", "wav", "--out", out, hour + QString("@%1:%2").arg(begin).arg(end)});
  const QStringList cutFiles = QDir(out).entryList(QDir::Files);
  const bool cutHoldsRange =
      cut.ok && cutFiles.size() == 1 && HoldsRange(QDir(out).filePath(cutFiles.first()), hour, *layout, begin, end);
  clearOut();
  if (!dd.ok || !ddSynced.ok || !copy.ok || !cut.ok) return 1;
  if (!cutHoldsRange) {
    std::fprintf(stderr, "snipwave cut's output is not the range's bytes as a CD-quality WAV\n");
    return 1;
  }

  std::printf("\nload average %.2f; best of three runs, wall time\n", LoadAverage());
  PrintRatio("cut 50 of 60 minutes WAV -> WAV (byte copy)", copy, "dd", dd, 1.50);
  PrintRatio("cut 50 of 60 minutes WAV -> WAV (snipwave cut)", cut, "dd", dd, 1.50);
  PrintRatio("cut 50 of 60 minutes WAV -> WAV (snipwave cut)", cut, "dd conv=fsync", ddSynced, 1.50);
  return 0;
}
