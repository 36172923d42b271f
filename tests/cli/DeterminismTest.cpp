// The same job on the same input gives the same output, whatever else runs:
// every kind of cut and join is run twice at once (each the other's load,
// sharing the two cores) and once more alone, and the three outputs must be
// identical byte for byte. Ogg and Opus outputs carry a random stream serial
// number, so those are compared sample for sample as their own decoder reads
// them. The chained-Ogg tail cut is also held to oggdec's samples.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <array>
#include <cmath>
#include <cstring>

#include "Commands.h"
#include "TempDir.h"

namespace snipwave::test {
namespace {

const QString kProgram = QStringLiteral(SNIPWAVE_RUNTIME_DIR "/snipwave");

QString Wav() { return ChirpFixture("same-src.wav", 9.0, 44100, 2); }
QString Wav48() { return ChirpFixture("same-src48.wav", 5.0, 48000, 1); }
QString Tool(const char* name, const char* program, QStringList (*args)(const QString& out)) {
  return ToolFixture(name, program, args);
}
QString OggLow() {
  return Tool("same-low.ogg", "oggenc", [](const QString& o) { return QStringList{"-Q", "-q", "-1", "-o", o, Wav()}; });
}
QString OggHigh() {
  return Tool("same-high.ogg", "oggenc", [](const QString& o) { return QStringList{"-Q", "-q", "3", "-o", o, Wav()}; });
}
QString Ogg48() {
  return Tool("same-48.ogg", "oggenc", [](const QString& o) { return QStringList{"-Q", "-q", "1", "-o", o, Wav48()}; });
}
QString Mp3() {
  return Tool("same-v0.mp3", "lame", [](const QString& o) { return QStringList{"--quiet", "-V0", Wav(), o}; });
}
QString Flac24() {
  return Tool("same-24.flac", "sox", [](const QString& o) {
    return QStringList{"-R", Wav(), "-b", "24", "-t", "flac", o};
  });
}
QString Opus() {
  return Tool("same.opus", "opusenc", [](const QString& o) { return QStringList{"--quiet", Wav(), o}; });
}
QString M4a() { return ChirpFixture("same.m4a", 9.0, 44100, 2, {"-c:a", "aac", "-b:a", "128k"}); }

// Links one after another in one file, as internet-radio recordings are.
QString Chained(const QString& name, const QStringList& links) {
  const QString path = QDir(SNIPWAVE_FIXTURE_DIR).filePath(name);
  if (QFileInfo::exists(path)) return path;
  const QString temp = QString("%1.%2.part").arg(path).arg(QCoreApplication::applicationPid());
  QFile out(temp);
  EXPECT_TRUE(out.open(QIODevice::WriteOnly));
  for (const QString& link : links) {
    QFile in(link);
    EXPECT_TRUE(in.open(QIODevice::ReadOnly));
    out.write(in.readAll());
  }
  out.close();
  PublishFile(temp, path);
  return path;
}
QString Chain2() { return Chained("same-chain2.ogg", {OggLow(), OggHigh()}); }
QString Chain3() { return Chained("same-chain3.ogg", {OggHigh(), Ogg48(), OggLow()}); }

QString Range(const QString& path, std::int64_t begin, std::int64_t end) {
  return QString("%1@%2:%3").arg(path).arg(begin).arg(end);
}

// What an output holds for comparison: its bytes, or for Ogg and Opus its
// decoded samples.
QByteArray Content(const QString& path) {
  if (path.endsWith(".ogg") || path.endsWith(".opus")) {
    TempDir dir;
    const QString wav = dir.file("decoded.wav");
    const CommandResult r = path.endsWith(".ogg") ? RunCommand("oggdec", {"-Q", "-o", wav, path})
                                                  : RunCommand("opusdec", {"--quiet", "--float", path, wav});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    QFile f(wav);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll();
  }
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::ReadOnly));
  return f.readAll();
}

// Every file of a finished run, by name, as Content gives it.
using Outputs = std::map<QString, QByteArray>;
Outputs Collect(const QString& folder) {
  Outputs outputs;
  const QDir dir(folder);
  for (const QString& name : dir.entryList(QDir::Files)) outputs[name] = Content(dir.filePath(name));
  return outputs;
}

struct Job {
  const char* name;
  const char* command;  // cut or join
  QStringList (*args)();
};

const Job kJobs[] = {
    {"re-encoded cut of every input kind, two at a time", "cut",
     [] {
       return QStringList{"--jobs", "2", "--format", "mp3", Range(Wav(), 1000, 200000), Range(Mp3(), 5000, 150000),
                          Range(Flac24(), 7, 90000), Range(Opus(), 100, 60000), Range(M4a(), 4000, 120000),
                          Range(Chain2(), 300000, 420000)};
     }},
    {"chained Ogg tails, one at a time", "cut",
     [] {
       return QStringList{"--jobs", "1", "--format", "wav", Range(Chain2(), 2 * 396900 - 5001, 2 * 396900),
                          Range(Chain3(), 100000, 400000)};
     }},
    {"chained Ogg into Ogg, two at a time", "cut",
     [] { return QStringList{"--jobs", "2", "--format", "ogg", Range(Chain3(), 0, 5001), Range(Chain3(), 390000, 500000)}; }},
    {"MP3 frames kept", "cut",
     [] { return QStringList{"--jobs", "2", "--lossless", Range(Mp3(), 1000, 100000), Range(Mp3(), 100000, 300000)}; }},
    {"FLAC frames kept", "cut",
     [] {
       return QStringList{"--jobs", "2", "--lossless", "--format", "flac", Range(Flac24(), 1000, 200000),
                          Range(Flac24(), 200000, 390000)};
     }},
    {"Opus packets kept", "cut",
     [] {
       return QStringList{"--jobs", "2", "--lossless", "--format", "opus", Range(Opus(), 1000, 200000),
                          Range(Opus(), 200000, 400000)};
     }},
    {"M4A packets kept", "cut",
     [] { return QStringList{"--jobs", "2", "--lossless", "--format", "m4a", Range(M4a(), 1000, 200000)}; }},
    {"re-encoded join with a crossfade", "join",
     [] {
       return QStringList{"--format", "flac", "--crossfade", "150", Range(Wav(), 0, 100000),
                          Range(Chain3(), 350000, 450000), Range(Mp3(), 1000, 80000)};
     }},
    {"MP3 join keeping frames", "join",
     [] { return QStringList{"--lossless", Range(Mp3(), 0, 100000), Range(Mp3(), 200000, 300000)}; }},
};

class SameOutput : public ::testing::Test {
 protected:
  SameOutput() {
    env.insert("SNIPWAVE_CONFIG_DIR", dir.file("config"));
    QDir().mkdir(dir.file("config"));
  }
  // Starts one run of `job` into a fresh folder, which it returns.
  QString Start(const Job& job, QProcess& process) {
    const QString out = dir.file(QString("run%1").arg(++runs));
    QDir().mkdir(out);
    const QString target = QString(job.command) == "join" ? out + "/joined" : out;
    process.setProcessEnvironment(env);
    process.start(kProgram, QStringList{job.command, "--out", target} + job.args());
    return out;
  }
  void Finish(QProcess& process) {
    EXPECT_TRUE(process.waitForFinished(240000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
  }

  TempDir dir;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  int runs = 0;
};

TEST_F(SameOutput, EveryKindOfJobGivesTheSameOutputAloneAndUnderLoad) {
  for (const Job& job : kJobs) {
    SCOPED_TRACE(job.name);
    job.args();  // fixtures made before the runs start, not during them
    std::array<QProcess, 2> together;
    const QString first = Start(job, together[0]);
    const QString second = Start(job, together[1]);
    for (QProcess& p : together) Finish(p);
    QProcess alone;
    const QString third = Start(job, alone);
    Finish(alone);
    const Outputs expected = Collect(first);
    ASSERT_FALSE(expected.empty());
    EXPECT_TRUE(Collect(second) == expected);
    EXPECT_TRUE(Collect(third) == expected);
  }
}

TEST_F(SameOutput, ChainedOggTailIsExactAgainstOggdec) {
  // Link one is the low-quality encoding, link two the higher one, of the
  // same nine seconds: the range lies wholly in the second link.
  const std::int64_t length = 2 * 396900, begin = length - 5001;
  TempDir decoded;
  const QString reference = decoded.file("chain.wav");
  ASSERT_EQ(RunCommand("oggdec", {"-Q", "-o", reference, Chain2()}).exitCode, 0);
  const std::vector<float> source = DecodeWithFfmpeg(reference);
  ASSERT_EQ(source.size(), std::size_t(length) * 2);
  for (int jobs : {1, 2}) {
    SCOPED_TRACE(jobs);
    const QString out = dir.file(QString("tail%1").arg(jobs));
    const CommandResult r = RunCommand(kProgram, {"cut", "--jobs", QString::number(jobs), "--format", "wav", "--out",
                                                  out, Range(Chain2(), begin, length), Range(Chain2(), begin, length)});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    for (const QString& name : QDir(out).entryList(QDir::Files)) {
      const std::vector<float> got = DecodeWithFfmpeg(QDir(out).filePath(name));
      ASSERT_EQ(got.size(), 5001u * 2) << name.toStdString();
      float worst = 0;
      for (std::size_t i = 0; i < got.size(); ++i) worst = std::max(worst, std::abs(got[i] - source[begin * 2 + i]));
      EXPECT_LE(worst, 1.0f / 32768) << name.toStdString();  // one 16-bit step: each side rounds once
    }
  }
}

}  // namespace
}  // namespace snipwave::test
