#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTextStream>
#include <sys/stat.h>

#include "Commands.h"
#include "FfmpegLoudness.h"
#include "TempDir.h"
#include "cli/ConsoleProgress.h"
#include "cli/PathLines.h"
#include "cli/ProbeCommand.h"

namespace snipwave::test {
namespace {

TEST(ProbeCommand, OneLinePerFileErrorsOnStderrExitOne) {
  TempDir dir;
  const QString wav = ChirpFixture("chirp1.wav", 1.0, 44100, 2);
  const QString mono = ChirpFixture("chirp-mono-22k.ogg", 2.0, 22050, 1, {"-c:a", "libvorbis"});
  QFile bad(dir.file("bad file.mp3"));
  ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
  bad.write("not audio");
  bad.close();
  const CommandResult r = RunCommand(SNIPWAVE_RUNTIME_DIR "/snipwave", {"probe", wav, dir.file("bad file.mp3"), mono});
  EXPECT_EQ(r.exitCode, 1);
  const QStringList lines = QString::fromUtf8(r.out).split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 2) << r.out.toStdString();
  EXPECT_EQ(lines[0], wav + "\t44100\t1000\t44100\t2");
  EXPECT_EQ(lines[1], mono + "\t44100\t2000\t22050\t1");
  EXPECT_TRUE(r.err.contains("bad file.mp3")) << r.err.toStdString();
}

TEST(ProbeCommand, JsonGivesOneObjectPerFileAndErrorsAsObjects) {
  TempDir dir;
  const QString wav = ChirpFixture("chirp1.wav", 1.0, 44100, 2);
  QFile bad(dir.file("bad \"file\".mp3"));
  ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
  bad.write("not audio");
  bad.close();
  QString outText, errText;
  QTextStream out(&outText), err(&errText);
  EXPECT_EQ(RunProbeCommand({"--json", wav, bad.fileName()}, out, err), 1);
  const QStringList lines = outText.split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 2) << outText.toStdString();
  const QJsonObject good = QJsonDocument::fromJson(lines[0].toUtf8()).object();
  EXPECT_EQ(good.value("path").toString(), wav);
  EXPECT_EQ(good.value("frames").toInteger(), 44100);
  EXPECT_EQ(good.value("ms").toInteger(), 1000);
  EXPECT_EQ(good.value("rate").toInteger(), 44100);
  EXPECT_EQ(good.value("channels").toInteger(), 2);
  const QJsonObject failed = QJsonDocument::fromJson(lines[1].toUtf8()).object();
  EXPECT_EQ(failed.value("path").toString(), bad.fileName());
  EXPECT_FALSE(failed.value("error").toString().isEmpty());
  EXPECT_TRUE(errText.isEmpty());
}

// A chained Ogg file names its links in order, with their own formats and
// the frames each adds; a plain file gets no such field.
TEST(ProbeCommand, ChainedOggNamesItsLinks) {
  TempDir dir;
  const QString a = ChirpFixture("chirp1.ogg", 1.0, 44100, 2, {"-c:a", "libvorbis"});
  const QString b = ChirpFixture("chirp-mono-22k.ogg", 2.0, 22050, 1, {"-c:a", "libvorbis"});
  QFile chain(dir.file("chain.ogg"));
  ASSERT_TRUE(chain.open(QIODevice::WriteOnly));
  for (const QString& part : {a, b}) {
    QFile f(part);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    chain.write(f.readAll());
  }
  chain.close();
  QString outText, errText;
  QTextStream out(&outText), err(&errText);
  EXPECT_EQ(RunProbeCommand({chain.fileName(), a}, out, err), 0) << errText.toStdString();
  const QStringList lines = outText.split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 2);
  EXPECT_EQ(lines[0], chain.fileName() +
                          "\t132300\t3000\t44100\t2\tlinks: vorbis 44100 Hz 2 ch 44100; vorbis 22050 Hz 1 ch 88200 converted");
  EXPECT_EQ(lines[1].count('\t'), 4);
  outText.clear();
  EXPECT_EQ(RunProbeCommand({"--json", chain.fileName()}, out, err), 0);
  const QJsonArray links = QJsonDocument::fromJson(outText.toUtf8()).object().value("links").toArray();
  ASSERT_EQ(links.size(), 2);
  EXPECT_EQ(links[1].toObject().value("rate").toInteger(), 22050);
  EXPECT_EQ(links[1].toObject().value("frames").toInteger(), 88200);
  EXPECT_TRUE(links[1].toObject().value("converted").toBool());
}

TEST(ProbeCommand, AllGoodIsZeroAndNoFilesIsUsage) {
  QString outText, errText;
  QTextStream out(&outText), err(&errText);
  EXPECT_EQ(RunProbeCommand({ChirpFixture("chirp1.wav", 1.0, 44100, 2)}, out, err), 0);
  EXPECT_TRUE(outText.endsWith("\t44100\t1000\t44100\t2\n")) << outText.toStdString();
  EXPECT_TRUE(errText.isEmpty());
  EXPECT_EQ(RunProbeCommand({}, out, err), 2);
  EXPECT_TRUE(errText.contains("Usage"));
}

TEST(ProbeCommand, LengthsPastTwoToTheThirtyFirstFramesAreExact) {
  // 200 kHz mono 8-bit, 2.2e9 frames (3 h 3 min): the header says so, the
  // data is a hole in a sparse file.
  TempDir dir;
  const QString path = dir.file("long.wav");
  const quint32 frames = 2200000000u, rate = 200000;
  QByteArray header;
  auto u32 = [&](quint32 v) { header.append(reinterpret_cast<const char*>(&v), 4); };  // little-endian host
  auto u16 = [&](quint16 v) { header.append(reinterpret_cast<const char*>(&v), 2); };
  header += "RIFF";
  u32(36 + frames);
  header += "WAVEfmt ";
  u32(16), u16(1), u16(1), u32(rate), u32(rate), u16(1), u16(8);
  header += "data";
  u32(frames);
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(header);
  ASSERT_TRUE(file.resize(header.size() + qint64(frames)));
  file.close();

  QString outText, errText;
  QTextStream out(&outText), err(&errText);
  EXPECT_EQ(RunProbeCommand({path}, out, err), 0) << errText.toStdString();
  EXPECT_EQ(outText, path + "\t2200000000\t11000000\t200000\t1\n");
}

TEST(ProbeCommand, PipeIsRefusedWithoutOpeningIt) {
  TempDir dir;
  const QString pipe = dir.file("x.wav");
  ASSERT_EQ(::mkfifo(pipe.toUtf8().constData(), 0600), 0);
  QString outText, errText;
  QTextStream out(&outText), err(&errText);
  EXPECT_EQ(RunProbeCommand({pipe}, out, err), 1);  // would block forever if it opened the pipe
  EXPECT_EQ(errText, pipe + " is a named pipe, not an audio file.\n");
}

}  // namespace
}  // namespace snipwave::test

namespace snipwave::test {
namespace {

TEST(ConsoleProgress, LineShowsPercentRowsElapsedAndEstimate) {
  EXPECT_EQ(ProgressLineText(0.0, 0, 10, 400), "0%  0/10 rows  0:00 elapsed");
  EXPECT_EQ(ProgressLineText(0.25, 2, 10, 15000), "25%  2/10 rows  0:15 elapsed  0:45 left");
  EXPECT_EQ(ProgressLineText(0.5, 1, 2, 3700000), "50%  1/2 rows  1:01:40 elapsed  1:01:40 left");
  EXPECT_EQ(ProgressLineText(1.0, 2, 2, 61000), "100%  2/2 rows  1:01 elapsed");
}

}  // namespace
}  // namespace snipwave::test

namespace snipwave::test {
namespace {

TEST(PathLine, QuotesOnlyWhatWouldBreakALineAsLsDoes) {
  const QList<QPair<QString, QString>> cases = {
      {"/music/a song.mp3", "/music/a song.mp3"},
      {"/music/don't.mp3", "/music/don't.mp3"},
      {"/music/a\nb.mp3", "'/music/a'$'\\n''b.mp3'"},
      {"/x/\t\x01" "end\n", "'/x/'$'\\t\\001''end'$'\\n'"},
      {"'quoted", "''\\''quoted'"},
      {"/x/it's\r", "'/x/it'\\''s'$'\\r'"},
  };
  for (const auto& [path, line] : cases) {
    EXPECT_EQ(PathLine(path), line) << path.toStdString();
    if (line == path) continue;
    // bash reads the line back into the path.
    const CommandResult r = RunCommand("bash", {"-c", "eval \"p=$1\" && printf %s \"$p\"", "bash", line});
    EXPECT_EQ(QString::fromUtf8(r.out), path) << line.toStdString();
  }
}

// `snipwave help` names every option the commands take; each command's
// --help prints its usage on stdout and exits 0.
TEST(CommandLine, HelpNamesEveryOptionAndEachCommandHasItsOwn) {
  const QString program = SNIPWAVE_RUNTIME_DIR "/snipwave";
  const CommandResult overview = RunCommand(program, {"help"});
  ASSERT_EQ(overview.exitCode, 0);
  static const QRegularExpression option("--[a-z][a-z-]*");
  for (const QString command : {"probe", "peaks", "cut", "join"}) {
    const CommandResult r = RunCommand(program, {command, "--help"});
    EXPECT_EQ(r.exitCode, 0) << command.toStdString() << ": " << r.err.toStdString();
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
    const QString text = QString::fromUtf8(r.out);
    EXPECT_TRUE(text.startsWith("Usage: snipwave " + command)) << text.toStdString();
    for (auto m = option.globalMatch(text); m.hasNext();) {
      const QString name = m.next().captured();
      if (name == "--help") continue;
      EXPECT_TRUE(overview.out.contains(name.toUtf8())) << command.toStdString() << " " << name.toStdString();
    }
  }
  EXPECT_EQ(RunCommand(program, {"probe", "--bogus", "x.wav"}).exitCode, 2);
}

// --loudness: a range of a file measured as FFmpeg measures the same frames,
// silence as null (JSON) or "silent" (text), a range outside the file refused.
TEST(ProbeCommand, LoudnessOfRangesAgreesWithFfmpegAndSilenceHasNone) {
  const QString mp3 = ChirpFixture("loud-stereo.mp3", 6.0, 44100, 2, {"-c:a", "libmp3lame", "-b:a", "192k"});
  const QString silence = Fixture("loud-silence.wav", {"-f", "lavfi", "-i", "anullsrc=r=44100:cl=stereo:d=3"});
  QString outText, errText;
  QTextStream out(&outText), err(&errText);
  EXPECT_EQ(RunProbeCommand({"--json", "--loudness", mp3 + "@44100:220500", silence}, out, err), 0);
  const QStringList lines = outText.split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 2) << outText.toStdString() << errText.toStdString();
  const QJsonObject range = QJsonDocument::fromJson(lines[0].toUtf8()).object();
  EXPECT_EQ(range.value("begin").toInteger(), 44100);
  EXPECT_EQ(range.value("end").toInteger(), 220500);
  const FfmpegLoudness ffmpeg = MeasureWithFfmpeg(mp3, "atrim=start_sample=44100:end_sample=220500");
  EXPECT_NEAR(range.value("integrated_lufs").toDouble(), ffmpeg.integratedLufs, 0.1);
  EXPECT_NEAR(range.value("true_peak_dbtp").toDouble(), ffmpeg.truePeakDbtp, 0.1);
  EXPECT_TRUE(range.value("loudness_range_lu").isDouble());
  const QJsonObject quiet = QJsonDocument::fromJson(lines[1].toUtf8()).object();
  EXPECT_TRUE(quiet.value("integrated_lufs").isNull());
  EXPECT_TRUE(quiet.value("true_peak_dbtp").isNull());

  outText.clear();
  EXPECT_EQ(RunProbeCommand({"--loudness", silence, mp3 + "@0:99999999"}, out, err), 1);
  EXPECT_TRUE(outText.endsWith("\tsilent\t0.00\tsilent\n")) << outText.toStdString();
  EXPECT_TRUE(errText.contains("99999999")) << errText.toStdString();
}

}  // namespace
}  // namespace snipwave::test
