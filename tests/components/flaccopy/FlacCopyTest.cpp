// FLAC cuts and joins that copy the source's frames: every output is checked
// with the reference tools (flac -t for the MD5 and CRCs, flac -d for the
// samples), against the source's own samples decoded by flac -d.
#include <gtest/gtest.h>

#include <QFile>
#include <QMap>
#include <csignal>
#include <cstring>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "Commands.h"
#include "TempDir.h"
#include "components/audio/TAudioFile2.h"
#include "components/flaccopy/FlacCopy.h"
#include "platform/Error.h"

namespace snipwave::test {
namespace {

using flaccopy::CopyOutcome;
using flaccopy::CopyRange;
using flaccopy::FlacCopySource;
using flaccopy::WriteFlacCopy;

struct SourceKind {
  const char* name;
  int bits;
  int channels;
  int block;  // flac -b
};

void PrintTo(const SourceKind& kind, std::ostream* os) { *os << kind.name; }

// 20 seconds of a sine sweep made by sox at the given width, so that a 24-bit
// source has low bits of its own.
QString SweepWav(int bits, int channels) {
  return ToolFixture(QString("flaccopy-sweep-%1-%2.wav").arg(bits).arg(channels), "sox", [=](const QString& out) {
    QStringList args{"-R", "-n", "-r", "44100", "-c", QString::number(channels), "-b", QString::number(bits), out,
                     "synth", "20", "sine", "100:6000"};
    if (channels == 2) args << "pinknoise";
    return args << "gain" << "-3";
  });
}

QString FlacFixture(const SourceKind& kind, const QStringList& extra = {}) {
  const QString wav = SweepWav(kind.bits, kind.channels);
  return ToolFixture(QString("flaccopy-%1.flac").arg(kind.name), "flac", [&](const QString& out) {
    return QStringList{"-s", "-f", "-b", QString::number(kind.block)} + extra + QStringList{"-o", out, wav};
  });
}

// Interleaved sample values as flac -d decodes them.
std::vector<std::int32_t> FlacDecode(const QString& path, int bits) {
  const CommandResult r = RunCommand("flac", {"-d", "-c", "-s", "--force-raw-format", "--endian=little",
                                              "--sign=signed", path});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  const int width = bits / 8;
  std::vector<std::int32_t> values(static_cast<std::size_t>(r.out.size() / width));
  const auto* d = reinterpret_cast<const std::uint8_t*>(r.out.constData());
  for (std::size_t i = 0; i < values.size(); ++i) {
    std::uint32_t v = 0;
    for (int b = 0; b < width; ++b) v |= std::uint32_t(d[i * width + b]) << (8 * b);
    const int unused = 32 - bits;
    values[i] = static_cast<std::int32_t>(v << unused) >> unused;
  }
  return values;
}

void ExpectFlacTestPasses(const QString& path) {
  const CommandResult r = RunCommand("flac", {"-t", "-s", "-w", path});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
}

// The source's samples, decoded once per test program.
const std::vector<std::int32_t>& SourceSamples(const QString& path, int bits) {
  static QMap<QString, std::vector<std::int32_t>> cache;
  if (!cache.contains(path)) cache.insert(path, FlacDecode(path, bits));
  return cache[path];
}

std::unique_ptr<FlacCopySource> OpenSource(const QString& path, int bits, int channels) {
  const auto length = static_cast<std::int64_t>(SourceSamples(path, bits).size()) / channels;
  QString reason;
  auto source = FlacCopySource::Open(path, length, &reason);
  EXPECT_TRUE(source) << reason.toStdString();
  return source;
}

std::vector<std::int32_t> Slice(const std::vector<std::int32_t>& all, int channels, std::int64_t b, std::int64_t e) {
  return {all.begin() + b * channels, all.begin() + e * channels};
}

const SourceKind kSources[] = {
    {"s16-stereo-4096", 16, 2, 4096},
    {"s16-mono-1152", 16, 1, 1152},
    {"s24-stereo-1152", 24, 2, 1152},
    {"s24-mono-4096", 24, 1, 4096},
};

class FlacCutTest : public ::testing::TestWithParam<SourceKind> {};

TEST_P(FlacCutTest, CutsDecodeToExactlyTheRangeAndCopyTheWholeFrames) {
  const SourceKind kind = GetParam();
  const QString path = FlacFixture(kind);
  const auto& all = SourceSamples(path, kind.bits);
  const auto source = OpenSource(path, kind.bits, kind.channels);
  ASSERT_TRUE(source);
  const std::int64_t L = source->Length(), bs = kind.block;
  ASSERT_EQ(L, 20 * 44100);
  {
    TAudioFile2 reader;  // positions are the app's reader's frames
    reader.OpenFile(path.toStdString());
    EXPECT_EQ(reader.LengthSamples(), L);
  }
  struct Cut {
    const char* what;
    std::int64_t begin, end;
    double copiedShare;  // least share of the frames in range copied
  };
  const Cut cuts[] = {
      {"from the start", 0, 1000, 0.0},
      {"to the end", L - 5000, L, 0.0},
      {"inside one frame", bs + 100, bs + 900, 0.0},
      {"on frame boundaries", 2 * bs, 10 * bs, 1.0},
      {"the whole file", 0, L, 1.0},
      {"a long range", 12345, L - 6789, 0.9},
      {"a few samples over a boundary", bs - 3, bs + 5, 0.0},
      {"a head shorter than a block may be", bs - 5, 8 * bs + 7, 0.6},
  };
  TempDir dir;
  for (const Cut& cut : cuts) {
    SCOPED_TRACE(cut.what);
    const QString out = dir.file(QString("%1.flac").arg(cut.begin));
    const CopyOutcome outcome = WriteFlacCopy({{source.get(), cut.begin, cut.end}}, out, {});
    EXPECT_EQ(outcome.decodedFrames, cut.end - cut.begin);
    EXPECT_FALSE(outcome.stopped);
    const std::int64_t touched = (cut.end - 1) / bs - cut.begin / bs + 1;
    EXPECT_EQ(outcome.packetsInRanges, touched);
    EXPECT_GE(outcome.packetsCopied, cut.copiedShare * double(touched));
    ExpectFlacTestPasses(out);
    EXPECT_TRUE(FlacDecode(out, kind.bits) == Slice(all, kind.channels, cut.begin, cut.end));
  }
}

INSTANTIATE_TEST_SUITE_P(Sources, FlacCutTest, ::testing::ValuesIn(kSources),
                         [](const auto& info) {
                           QString name = info.param.name;
                           return name.replace('-', '_').toStdString();
                         });

TEST(FlacCopyTest, JoinRenumbersFramesOfSeveralSourcesContinuously) {
  const SourceKind a{"s16-stereo-4096", 16, 2, 4096}, b{"s16-stereo-1152", 16, 2, 1152};
  const QString pathA = FlacFixture(a), pathB = FlacFixture(b);
  const auto srcA = OpenSource(pathA, 16, 2), srcB = OpenSource(pathB, 16, 2);
  ASSERT_TRUE(srcA && srcB);
  ASSERT_TRUE(srcA->SameSetup(*srcB));
  const std::vector<CopyRange> ranges{{srcA.get(), 1000, 50000},
                                      {srcB.get(), 3000, 40000},
                                      {srcA.get(), 100000, 100010},
                                      {srcA.get(), 20, 30},
                                      {srcB.get(), 500000, srcB->Length()}};
  std::vector<std::int32_t> expected;
  for (const auto& r : ranges) {
    const auto part = Slice(SourceSamples(r.source->Path(), 16), 2, r.begin, r.end);
    expected.insert(expected.end(), part.begin(), part.end());
  }
  TempDir dir;
  const QString out = dir.file("join.flac");
  const CopyOutcome outcome = WriteFlacCopy(ranges, out, {});
  EXPECT_EQ(outcome.decodedFrames, std::int64_t(expected.size() / 2));
  EXPECT_GE(outcome.packetsCopied, 0.9 * double(outcome.packetsInRanges));
  ExpectFlacTestPasses(out);
  EXPECT_TRUE(FlacDecode(out, 16) == expected);

  // The output, variable-blocksize and of mixed block sizes, is itself a source.
  const auto again = OpenSource(out, 16, 2);
  ASSERT_TRUE(again);
  const QString recut = dir.file("recut.flac");
  WriteFlacCopy({{again.get(), 40000, 120000}}, recut, {});
  ExpectFlacTestPasses(recut);
  EXPECT_TRUE(FlacDecode(recut, 16) == Slice(expected, 2, 40000, 120000));
}

TEST(FlacCopyTest, StoppingEndsAValidFileWhereItStopped) {
  const SourceKind kind{"s16-stereo-4096", 16, 2, 4096};
  const QString path = FlacFixture(kind);
  const auto source = OpenSource(path, 16, 2);
  ASSERT_TRUE(source);
  TempDir dir;
  const QString out = dir.file("stopped.flac");
  int asked = 0;
  const CopyOutcome outcome =
      WriteFlacCopy({{source.get(), 777, 600000}}, out, [&](double) { return ++asked < 3; });
  EXPECT_TRUE(outcome.stopped);
  EXPECT_GT(outcome.decodedFrames, 0);
  EXPECT_LT(outcome.decodedFrames, 600000 - 777);
  ExpectFlacTestPasses(out);
  EXPECT_TRUE(FlacDecode(out, 16) == Slice(SourceSamples(path, 16), 2, 777, 777 + outcome.decodedFrames));
}

TEST(FlacCopyTest, ID3TagsAroundTheStreamAreSkipped) {
  const SourceKind kind{"s16-mono-1152", 16, 1, 1152};
  const QString plain = FlacFixture(kind);
  TempDir dir;
  const QString tagged = dir.file("tagged.flac");
  {
    QFile in(plain), out(tagged);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly));
    out.write(QByteArray("ID3\x03\x00\x00\x00\x00\x00\x0A", 10) + QByteArray(10, '\0'));  // ID3v2, 10 bytes of body
    out.write(in.readAll());
    out.write(QByteArray("TAG") + QByteArray(125, ' '));  // ID3v1
  }
  const auto& all = SourceSamples(plain, 16);
  QString reason;
  const auto source = FlacCopySource::Open(tagged, std::int64_t(all.size()), &reason);
  ASSERT_TRUE(source) << reason.toStdString();
  const QString out = dir.file("cut.flac");
  WriteFlacCopy({{source.get(), 5000, source->Length()}}, out, {});
  ExpectFlacTestPasses(out);
  EXPECT_TRUE(FlacDecode(out, 16) == Slice(all, 1, 5000, source->Length()));
}

TEST(FlacCopyTest, SourcesThatCannotBeCopiedAreRefusedWithAReason) {
  TempDir dir;
  const SourceKind good{"s16-stereo-4096", 16, 2, 4096};
  const QString goodPath = FlacFixture(good);
  const std::int64_t length = 20 * 44100;
  const QString damaged = dir.file("damaged.flac");
  QFile::copy(goodPath, damaged);
  {
    QFile f(damaged);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.seek(f.size() / 2);
    char c = 0;
    f.getChar(&c);
    f.seek(f.size() / 2);
    f.putChar(static_cast<char>(c ^ 0x10));
  }
  const QString wav = SweepWav(16, 2);
  const QString ogg = ToolFixture("flaccopy-ogg.oga", "flac", [&](const QString& out) {
    return QStringList{"-s", "-f", "--ogg", "-o", out, wav};
  });
  const QString eightBit = ToolFixture("flaccopy-8bit.flac", "flac", [&](const QString& out) {
    return QStringList{"-s", "-f", "-o", out, SweepWav(8, 1)};
  });
  struct Refusal {
    QString path;
    std::int64_t length;
    const char* reason;
  };
  const Refusal refusals[] = {
      {ogg, length, "Ogg FLAC"},
      {wav, length, "not a native FLAC"},
      {goodPath, length + 1, "do not add up"},
      {damaged, length, "damaged"},
      {eightBit, length, "8-bit"},
      {dir.file("missing.flac"), length, "cannot be read"},
  };
  for (const Refusal& r : refusals) {
    SCOPED_TRACE(r.reason);
    QString reason;
    EXPECT_FALSE(FlacCopySource::Open(r.path, r.length, &reason));
    EXPECT_TRUE(reason.contains(r.reason)) << reason.toStdString();
  }
}

TEST(FlacCopyTest, BadWritesThrowNamingTheOutput) {
  const auto stereo = OpenSource(FlacFixture({"s16-stereo-4096", 16, 2, 4096}), 16, 2);
  const auto wide = OpenSource(FlacFixture({"s24-stereo-1152", 24, 2, 1152}), 24, 2);
  ASSERT_TRUE(stereo && wide);
  TempDir dir;
  QDir(dir.path()).mkdir("folder.flac");
  struct BadWrite {
    const char* what;
    QString out;
    std::vector<CopyRange> ranges;
  };
  const BadWrite writes[] = {
      {"a folder where the file goes", dir.file("folder.flac"), {{stereo.get(), 0, 1000}}},
      {"sources of different widths", dir.file("mixed.flac"), {{stereo.get(), 0, 1000}, {wide.get(), 0, 1000}}},
      {"a range past the end", dir.file("past.flac"), {{stereo.get(), 0, stereo->Length() + 1}}},
  };
  for (const BadWrite& w : writes) {
    SCOPED_TRACE(w.what);
    try {
      WriteFlacCopy(w.ranges, w.out, {});
      ADD_FAILURE() << "no error";
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find(w.out.toStdString()), std::string::npos) << e.what();
    }
  }
}

// A file-size limit (as a full disk) in mid-copy, in a child process.
TEST(FlacCopyTest, FileSizeLimitMidCopyThrowsNamingTheOutputAndReason) {
  const auto source = OpenSource(FlacFixture({"s16-stereo-4096", 16, 2, 4096}), 16, 2);
  ASSERT_TRUE(source);
  TempDir dir;
  const QString out = dir.file("limited.flac");
  const pid_t child = fork();
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{1500000, 1500000};
    setrlimit(RLIMIT_FSIZE, &limit);
    try {
      WriteFlacCopy({{source.get(), 100, source->Length()}}, out, {});
    } catch (const Error& e) {
      const std::string text = e.what();
      _exit(text.find(out.toStdString()) != std::string::npos && text.find("too large") != std::string::npos ? 0 : 2);
    }
    _exit(1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: no error, 2: the error names neither the file nor the reason";
}

}  // namespace
}  // namespace snipwave::test
