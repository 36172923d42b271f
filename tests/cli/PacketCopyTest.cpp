// Cuts and joins that copy the packets of Ogg Vorbis, Ogg Opus, AAC in M4A
// and FLAC sources, run as the user runs them. Every output is decoded by the
// format's own tool (oggdec, opusdec, flac; ffmpeg honouring the edit list
// for M4A) and compared with the same tool's decode of the source's range.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QtEndian>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>

#include "Commands.h"
#include "TempDir.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

namespace snipwave::test {
namespace {

const QString kProgram = QStringLiteral(SNIPWAVE_RUNTIME_DIR "/snipwave");

QString Wav() { return ChirpFixture("packet-src.wav", 12.0, 44100, 2); }
QString Ogg() {
  return ToolFixture("packet-src.ogg", "oggenc",
                     [](const QString& out) { return QStringList{"-Q", "-q", "3", "-o", out, Wav()}; });
}
QString Opus() {
  return ToolFixture("packet-src.opus", "opusenc",
                     [](const QString& out) { return QStringList{"--quiet", Wav(), out}; });
}
QString Flac() {
  return ToolFixture("packet-src.flac", "flac", [](const QString& out) { return QStringList{"-s", "-f", "-o", out, Wav()}; });
}
QString M4a() { return ChirpFixture("packet-src.m4a", 12.0, 44100, 2, {"-c:a", "aac", "-b:a", "128k"}); }
QString Mp3() { return ChirpFixture("packet-src.mp3", 6.0, 44100, 2, {"-c:a", "libmp3lame", "-b:a", "128k"}); }

// Interleaved float samples as the format's own decoder gives them.
std::vector<float> Decode(const QString& path) {
  if (!path.endsWith(".ogg")) return DecodeWithOwnTool(path);
  QTemporaryDir dir;
  const QString wav = dir.filePath("decoded.wav");
  const CommandResult r = RunCommand("oggdec", {"-Q", "-o", wav, path});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  return DecodeWithFfmpeg(wav);
}

std::vector<float> Frames(const std::vector<float>& samples, std::int64_t begin, std::int64_t end) {
  const auto from = std::min(samples.size(), std::size_t(begin) * 2), to = std::min(samples.size(), std::size_t(end) * 2);
  return {samples.begin() + std::ptrdiff_t(from), samples.begin() + std::ptrdiff_t(to)};
}

float MaxError(const std::vector<float>& a, const std::vector<float>& b) {
  float worst = 0;
  for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) worst = std::max(worst, std::abs(a[i] - b[i]));
  return worst;
}

struct Format {
  const char* name;  // --format
  QString (*source)();
  int rate;  // the reader's rate of the source
  // How far a decode of the copy may lie from the decode of the source's
  // range: 0 where the decoder's state after the copied pre-roll is the
  // source's; AAC's float decoder rounds the first overlap-add differently
  // (below -60 dB); Opus's decoder converges over its pre-roll.
  float tolerance;
  // Whether a join's separate ranges can be copied: an M4A decoder trims
  // only one edit exactly, so an M4A join is re-encoded.
  bool joinsByCopy;
};
const Format kFormats[] = {
    {"ogg", Ogg, 44100, 0.0f, true},
    {"opus", Opus, 48000, 0.02f, true},
    {"m4a", M4a, 44100, 1e-3f, false},
    {"flac", Flac, 44100, 0.0f, true},
};

class PacketCopy : public ::testing::Test {
 protected:
  PacketCopy() {
    qputenv("SNIPWAVE_CONFIG_DIR", dir.file("config").toUtf8());
    QDir().mkdir(dir.file("config"));
  }
  SettingsStore Settings() const { return SettingsStore(dir.file("config/Snipwave.ini")); }
  // Runs cut (into a fresh folder) or join; returns the output's path.
  QString Run(const QString& command, const QStringList& args, CommandResult& r) {
    const QString out = dir.file(QString("out%1").arg(++runs));
    QDir().mkdir(out);
    const QString target = command == "join" ? out + "/joined" : out;
    r = RunCommand(kProgram, QStringList{command, "--out", target} + args);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList written = QDir(out).entryList(QDir::Files);
    return written.isEmpty() ? QString() : QDir(out).filePath(written.first());
  }
  static QString Range(const QString& path, std::int64_t begin, std::int64_t end) {
    return QString("%1@%2:%3").arg(path).arg(begin).arg(end);
  }

  TempDir dir;
  int runs = 0;
};

TEST_F(PacketCopy, CutDecodesToExactlyTheRangeAndSaysTheShareCopied) {
  for (const Format& f : kFormats) {
    SCOPED_TRACE(f.name);
    const QString source = f.source();
    const std::int64_t begin = f.rate + 1234, end = 7 * f.rate + 555;
    CommandResult r;
    const QString cut = Run("cut", {"--lossless", "--format", f.name, Range(source, begin, end)}, r);
    ASSERT_FALSE(cut.isEmpty());
    EXPECT_TRUE(r.err.contains(cut.toUtf8() + ": ")) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(" packets in the range copied byte for byte.")) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains("re-encoded")) << r.err.toStdString();
    const std::vector<float> got = Decode(cut), expected = Frames(Decode(source), begin, end);
    ASSERT_EQ(got.size(), std::size_t(end - begin) * 2);
    EXPECT_LE(MaxError(got, expected), f.tolerance);
  }
}

TEST_F(PacketCopy, JoinOfTwoRangesOfOneSourceDecodesToBothInOrder) {
  for (const Format& f : kFormats) {
    SCOPED_TRACE(f.name);
    const QString source = f.source();
    const std::int64_t a = f.rate / 3, b = 3 * f.rate, c = 5 * f.rate + 77, d = 9 * f.rate;
    CommandResult r;
    const QString joined =
        Run("join", {"--lossless", "--format", f.name, Range(source, a, b), Range(source, c, d)}, r);
    ASSERT_FALSE(joined.isEmpty());
    const std::vector<float> whole = Decode(source), got = Decode(joined);
    std::vector<float> expected = Frames(whole, a, b);
    const std::vector<float> second = Frames(whole, c, d);
    expected.insert(expected.end(), second.begin(), second.end());
    ASSERT_EQ(got.size(), expected.size());
    if (!f.joinsByCopy) {
      EXPECT_TRUE(r.err.contains("The join was re-encoded, no packets copied: ")) << r.err.toStdString();
      continue;
    }
    EXPECT_TRUE(r.err.contains(" packets in the 2 ranges copied byte for byte.")) << r.err.toStdString();
    EXPECT_LE(MaxError(got, expected), f.tolerance);
  }
}

// A range of an MP3 in the join: it is re-encoded on its own (or, where the
// re-encoded packets cannot follow the source's, the whole join is), and the
// summary names it either way.
TEST_F(PacketCopy, JoinWithASourceOfAnotherCodecNamesItsReencodedRange) {
  for (const Format& f : kFormats) {
    SCOPED_TRACE(f.name);
    CommandResult r;
    const QString joined = Run("join", {"--lossless", "--format", f.name, Range(f.source(), 1000, 2 * f.rate),
                                        Range(Mp3(), 0, 44100)}, r);
    ASSERT_FALSE(joined.isEmpty());
    EXPECT_TRUE(r.err.contains(Mp3().toUtf8() + " (range 2 of the join) was re-encoded") ||
                r.err.contains("no packets copied: range 2 (" + Mp3().toUtf8() + ")") ||
                (!f.joinsByCopy && r.err.contains("The join was re-encoded, no packets copied: ")))
        << r.err.toStdString();
    EXPECT_EQ(Decode(joined).size(), std::size_t(2 * f.rate - 1000 + f.rate) * 2);
  }
}

TEST_F(PacketCopy, CopyIsTurnedOnByTheSettingsAndOffWithAReasonWhenTheSamplesWouldChange) {
  namespace sec = settings::section;
  namespace key = settings::key;
  struct Case {
    const char* name;
    const char* format;
    QString (*source)();
    std::function<void(SettingsStore&)> settings;
    QStringList args;
    QString said;  // in the summary; empty: nothing of packets at all
  };
  const Case cases[] = {
      {"choice off: re-encoded as ever", "flac", Flac, {}, {}, ""},
      {"[flac] lossless=1", "flac", Flac, [](SettingsStore& s) { s.WriteBool(sec::kFlac, key::kLossless, true); }, {},
       "packets in the range copied byte for byte."},
      {"another rate", "ogg", Ogg, [](SettingsStore& s) { s.WriteInteger(sec::kOgg, key::kFrequency, 5); },
       {"--lossless"}, "was re-encoded: the output is set to 22050 Hz, stereo and the source has 44100 Hz, stereo."},
      {"another channel count", "opus", Opus, [](SettingsStore& s) { s.WriteInteger(sec::kOpus, key::kChannel, 1); },
       {"--lossless"}, "was re-encoded: the output is set to 48000 Hz, mono and the source has 48000 Hz, stereo."},
      // Kept frames keep the source's depth, whatever [flac] "bit" says.
      {"another width set", "flac", Flac, [](SettingsStore& s) { s.WriteInteger(sec::kFlac, key::kBit, 24); },
       {"--lossless"}, "packets in the range copied byte for byte."},
      {"a fade", "m4a", M4a, {}, {"--lossless", "--fade-in", "100"},
       "was re-encoded: its level choices (fades, edge fades or gain) change its samples."},
      {"another codec", "m4a", Mp3, {}, {"--lossless"}, Mp3() + " was re-encoded: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QFile::remove(dir.file("config/Snipwave.ini"));
    SettingsStore store = Settings();
    if (c.settings) c.settings(store);
    CommandResult r;
    const QString source = c.source();
    const QString cut = Run("cut", c.args + QStringList{"--format", c.format, Range(source, 1000, 90000)}, r);
    if (c.said.isEmpty())
      EXPECT_FALSE(r.err.contains("packets") || r.err.contains("re-encoded")) << r.err.toStdString();
    else
      EXPECT_TRUE(r.err.contains(c.said.toUtf8())) << r.err.toStdString();
    EXPECT_FALSE(Decode(cut).empty());
  }
  // A join's crossfade changes the samples at its seam.
  CommandResult r;
  Run("join", {"--lossless", "--format", "flac", "--crossfade", "50", Range(Flac(), 0, 44100), Range(Flac(), 88200, 132300)}, r);
  EXPECT_TRUE(r.err.contains("The join was re-encoded, no packets copied: its level choices")) << r.err.toStdString();
}

// Stream facts ffprobe gives for the first audio stream ("bits_per_raw_sample=24").
QString StreamFacts(const QString& path) {
  return RunCommand("ffprobe", {"-v", "error", "-select_streams", "a:0", "-show_entries",
                                "stream=sample_rate,bits_per_raw_sample", "-of", "default=nw=1", path})
      .out;
}

// A 24-bit, 96 kHz source made by flac (and the same audio in ALAC): with
// the frames kept, its output keeps its depth and rate whatever "bit" says
// (16 by default), FLAC's frames copied; a join takes its widest source's.
TEST_F(PacketCopy, KeptFramesKeepTheDepthOfTheSource) {
  const auto sox = [](const char* name, const char* bits) {
    return ToolFixture(name, "sox", [bits](const QString& out) {
      return QStringList{"-n", "-r", "96000", "-b", bits, "-c", "2", out, "synth", "4", "sine", "100-20000",
                         "vol", "0.7"};
    });
  };
  const auto flac = [](const char* name, const QString& wav) {
    return ToolFixture(name, "flac", [wav](const QString& out) { return QStringList{"-s", "-f", "-o", out, wav}; });
  };
  const QString wav24 = sox("packet-src24.wav", "24");
  const QString flac24 = flac("packet-src24.flac", wav24);
  const QString flac16 = flac("packet-src16-96k.flac", sox("packet-src16-96k.wav", "16"));
  const QString alac24 = Fixture("packet-src24.m4a", {"-i", wav24, "-c:a", "alac"});
  ASSERT_TRUE(StreamFacts(flac24).contains("bits_per_raw_sample=24"));
  const auto range = [](const QString& source, std::int64_t begin, std::int64_t end) {
    return Frames(DecodeWithOwnTool(source), begin, end);
  };
  struct Case {
    const char* command;
    const char* format;
    QStringList sources;
    std::vector<float> expected;
    const char* said;
  };
  std::vector<float> joined = range(flac16, 1000, 50000), second = range(flac24, 12345, 300000);
  joined.insert(joined.end(), second.begin(), second.end());
  const Case cases[] = {
      {"cut", "flac", {Range(flac24, 12345, 300000)}, second, " packets in the range copied byte for byte."},
      {"cut", "alac", {Range(alac24, 12345, 300000)}, second, ""},
      {"join", "flac", {Range(flac16, 1000, 50000), Range(flac24, 12345, 300000)}, joined,
       " (range 1 of the join) was re-encoded on its own and its packets copied into the join"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.command) + " " + c.format);
    CommandResult r;
    const QString output = Run(c.command, QStringList{"--lossless", "--format", c.format} + c.sources, r);
    ASSERT_FALSE(output.isEmpty());
    EXPECT_TRUE(r.err.contains(c.said)) << r.err.toStdString();
    const QString facts = StreamFacts(output);
    EXPECT_TRUE(facts.contains("sample_rate=96000") && facts.contains("bits_per_raw_sample=24")) << facts.toStdString();
    const std::vector<float> got = DecodeWithOwnTool(output);
    ASSERT_EQ(got.size(), c.expected.size());
    EXPECT_EQ(MaxError(got, c.expected), 0.0f);
  }
}

// AAC whose packets are damaged in the middle (bytes of its mdat
// overwritten): a copy would hold packets that players drop, playing the
// rest early. The range is re-encoded instead, the damaged frames silence
// of their length, and the summary names them.
TEST_F(PacketCopy, DamagedAacIsReencodedWithItsDamageNamed) {
  QFile file(M4a());
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  QByteArray bytes = file.readAll();
  qsizetype mdat = 0;
  while (mdat + 8 <= bytes.size() && bytes.mid(mdat + 4, 4) != "mdat")
    mdat += qFromBigEndian<quint32>(bytes.constData() + mdat);
  ASSERT_LT(mdat + 8, bytes.size());
  const qsizetype middle = mdat + qFromBigEndian<quint32>(bytes.constData() + mdat) / 2;
  for (qsizetype i = 0; i < 4000; i += 37) bytes[middle + i] = char(bytes[middle + i] ^ 0x5A);
  const QString damaged = dir.file("damaged.m4a");
  QFile out(damaged);
  ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size());
  out.close();
  for (const char* command : {"cut", "join"}) {
    SCOPED_TRACE(command);
    CommandResult r;
    const QString output = Run(command, {"--lossless", "--format", "m4a", Range(damaged, 44100, 7 * 44100)}, r);
    EXPECT_TRUE(r.err.contains(" damaged frames in " + damaged.toUtf8() + " were replaced by silence."))
        << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("a packet of its range cannot be decoded") ||
                r.err.contains("a packet in the range of " + damaged.toUtf8() + " cannot be decoded"))
        << r.err.toStdString();
    EXPECT_EQ(DecodeWithOwnTool(output).size(), std::size_t(6 * 44100) * 2);
  }
}

}  // namespace
}  // namespace snipwave::test
