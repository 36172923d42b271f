#include <gtest/gtest.h>

#include <QFile>
#include <QtEndian>
#include <algorithm>
#include <cmath>

#include "../audio/M4aAtoms.h"
#include "Commands.h"
#include "TempDir.h"
#include "components/audio/M4aGapless.h"
#include "components/audio/SourceDecoder.h"
#include "components/mp4copy/Mp4Copy.h"
#include "platform/Error.h"

// AAC packets copied into a new M4A: an independent decode (FFmpeg, ended by
// the edit list) gives exactly the source's frames of each range.
namespace snipwave::test {
namespace {

using mp4copy::CopyRange;
using mp4copy::Mp4CopySource;

// FFmpeg's AAC encoder. Noise substitution draws on a generator that runs
// from the decoder's start, so a decode that starts elsewhere fills those
// bands with other noise; without it a copy decodes bit for bit as the source.
QStringList Encoder(const QStringList& more = {}) { return QStringList{"-c:a", "aac", "-b:a", "128k", "-aac_pns", "0"} + more; }

// With its edit list (1024 frames of priming), whose duration FFmpeg gives
// in milliseconds.
QString Aac(const char* name, int rate, int channels, double seconds = 3.0) {
  return ChirpFixture(name, seconds, rate, channels, Encoder());
}

// Without an edit list: nothing trims it.
QString Untrimmed() { return ChirpFixture("mc-noedit.m4a", 3.0, 48000, 2, Encoder({"-use_editlist", "0"})); }

// The same with its ends in iTunes' gapless comment only: a delay of
// 2112 frames (as Apple's encoder primes), off the packet grid.
constexpr std::int64_t kGaplessDelay = 2112;
QString GaplessOnly(const TempDir& dir) {
  const QString path = dir.file("gapless-only.m4a");
  EXPECT_TRUE(QFile::copy(Untrimmed(), path));
  const std::int64_t decoded = static_cast<std::int64_t>(DecodeWithFfmpeg(path).size() / 2);
  const std::int64_t length = 140000;
  audio::WriteItunesGapless(path.toStdString(), kGaplessDelay, decoded - kGaplessDelay - length, length);
  return path;
}

std::int64_t ReaderLength(const QString& path) { return audio::SourceDecoder(path.toStdString()).LengthFrames(); }

std::vector<float> ReaderFrames(const QString& path, std::int64_t begin, std::int64_t end) {
  audio::SourceDecoder d(path.toStdString());
  d.Seek(begin);
  std::vector<float> out;
  while (d.Position() < end && d.Read(static_cast<std::size_t>(end - d.Position()), out) > 0) {
  }
  return out;
}

std::unique_ptr<Mp4CopySource> Open(const QString& path) {
  QString why;
  auto source = Mp4CopySource::Open(path, ReaderLength(path), &why);
  EXPECT_TRUE(source) << why.toStdString();
  return source;
}

// Largest difference between two equally long sample runs.
float MaxDifference(const std::vector<float>& a, const std::vector<float>& b) {
  float worst = 0;
  for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) worst = std::max(worst, std::fabs(a[i] - b[i]));
  return worst;
}

// An independent decode of `out` (FFmpeg, ended by the edit) is exactly the
// source's frames [begin, end) as the app's reader gives them.
void ExpectSourceFrames(const QString& out, const QString& source, std::int64_t begin, std::int64_t end) {
  const std::vector<float> want = ReaderFrames(source, begin, end);
  const std::vector<float> got = DecodeWithOwnTool(out);
  ASSERT_EQ(got.size(), want.size());
  EXPECT_EQ(MaxDifference(got, want), 0.0f);
}

struct Cut {
  std::int64_t begin, end;  // negative: counted back from the source's end
};

// Every copy must decode (FFmpeg, ended by the edit) and read (the app's
// reader) as exactly the source's frames [begin, end).
void ExpectExactCopy(const QString& source, const Mp4CopySource& copy, std::int64_t begin, std::int64_t end,
                     const QString& out) {
  const auto outcome = mp4copy::WriteMp4Copy({{&copy, begin, end}}, out, {});
  const std::int64_t frames = end - begin;
  EXPECT_EQ(outcome.decodedFrames, frames);
  EXPECT_GE(outcome.packetsInRanges * 1024, frames);
  EXPECT_LT(outcome.packetsInRanges * 1024, frames + 2048);
  EXPECT_LE(outcome.packetsCopied - outcome.packetsInRanges, 2);
  ExpectSourceFrames(out, source, begin, end);
  EXPECT_EQ(ReaderLength(out), frames);
}

TEST(Mp4Copy, CutsDecodeToExactlyTheSourceFrames) {
  TempDir dir;
  struct Source {
    const char* name;
    QString path;
    std::int64_t delay;
  };
  const Source sources[] = {{"stereo 44.1 kHz, edit list", Aac("mc-44k-2.m4a", 44100, 2), 1024},
                            {"mono 48 kHz, edit list off the millisecond", Aac("mc-48k-1.m4a", 48000, 1, 2.3456), 1024},
                            {"gapless comment only", GaplessOnly(dir), kGaplessDelay},
                            {"no trimming at all", Untrimmed(), 0}};
  const Cut cuts[] = {{0, -1},      {0, 1},        {-2, -1},        {100, 700},    {5000, 5001},
                      {3072, 10240}, {1024, 2048}, {12345, -1},     {40000, 90000}};
  int n = 0;
  for (const Source& src : sources) {
    auto copy = Open(src.path);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->Delay(), src.delay);
    for (const Cut& c : cuts) {
      const std::int64_t begin = c.begin < 0 ? copy->Length() + c.begin + 1 : c.begin;
      const std::int64_t end = c.end < 0 ? copy->Length() + c.end + 1 : c.end;
      SCOPED_TRACE(std::string(src.name) + " [" + std::to_string(begin) + ", " + std::to_string(end) + ")");
      ExpectExactCopy(src.path, *copy, begin, end, dir.file(QString("cut%1.m4a").arg(n++)));
    }
  }
}

TEST(Mp4Copy, BoxLayoutMatchesTheCut) {
  TempDir dir;
  const QString src = Aac("mc-44k-2.m4a", 44100, 2);
  auto copy = Open(src);
  const QString out = dir.file("cut.m4a");
  // Reader frame 10000 is media frame 11024, in packet 10; packet 9 goes first.
  const auto outcome = mp4copy::WriteMp4Copy({{copy.get(), 10000, 30000}}, out, {});
  const M4aAtoms atoms(out);
  EXPECT_EQ(atoms.TopLevel().mid(0, 2), (QStringList{"ftyp", "moov"}));
  EXPECT_EQ(atoms.Body("ftyp").left(4), "M4A ");
  const std::int64_t mediaTime = 11024 - 9 * 1024;
  EXPECT_EQ(atoms.FirstEdit(), (std::pair<std::int64_t, std::int64_t>{20000, mediaTime}));
  EXPECT_EQ(atoms.MovieTimeScale(), 44100);
  const QByteArray mdhd = atoms.Body("moov/trak/mdia/mdhd");
  EXPECT_EQ(QByteArray::fromHex("0000ac44"), mdhd.mid(12, 4));
  const std::int64_t padding = outcome.packetsCopied * 1024 - mediaTime - 20000;
  EXPECT_EQ(atoms.Freeform("iTunSMPB").toStdString(), audio::ItunesGaplessText(mediaTime, padding, 20000));
  EXPECT_EQ(atoms.Body("moov/trak/mdia/minf/stbl/stsd"), M4aAtoms(src).Body("moov/trak/mdia/minf/stbl/stsd"));
  // Tags are written afterwards by TagLib, which grows the moov and moves
  // the packets: the copy must stay exact.
  audio::WriteItunesGapless(out.toStdString(), mediaTime, padding, 20000);
  ExpectSourceFrames(out, src, 10000, 30000);
}

TEST(Mp4Copy, RangesThatContinueOneAnotherJoinAndSeparateOnesAreRefused) {
  TempDir dir;
  const QString src = Aac("mc-44k-2.m4a", 44100, 2);
  auto copy = Open(src);
  const QString joined = dir.file("joined.m4a");
  EXPECT_EQ(mp4copy::WriteMp4Copy({{copy.get(), 5000, 9000}, {copy.get(), 9000, 30000}}, joined, {}).decodedFrames,
            25000);
  ExpectSourceFrames(joined, src, 5000, 30000);

  const std::vector<CopyRange> separate{{copy.get(), 5000, 9000}, {copy.get(), 20000, 30000}};
  EXPECT_FALSE(mp4copy::RangesRefusal(separate).isEmpty());
  const QString refused = dir.file("refused.m4a");
  EXPECT_THROW(mp4copy::WriteMp4Copy(separate, refused, {}), Error);
  EXPECT_FALSE(QFile::exists(refused));
}

TEST(Mp4Copy, StoppedCopyEndsAsAValidShorterFile) {
  TempDir dir;
  const QString src = Aac("mc-44k-2.m4a", 44100, 2);
  auto copy = Open(src);
  const QString out = dir.file("stopped.m4a");
  int asked = 0;
  const auto outcome = mp4copy::WriteMp4Copy({{copy.get(), 3000, copy->Length()}}, out, [&](double share) {
    EXPECT_GT(share, 0.0);
    return ++asked < 2;
  });
  EXPECT_TRUE(outcome.stopped);
  EXPECT_GT(outcome.decodedFrames, 0);
  EXPECT_LT(outcome.decodedFrames, copy->Length() - 3000);
  ExpectSourceFrames(out, src, 3000, 3000 + outcome.decodedFrames);
  EXPECT_EQ(ReaderLength(out), outcome.decodedFrames);
}

// Packets damaged two thirds into the audio: the copy decodes every packet
// before it copies it and ends, as at a stop, before the first that does
// not decode; what it holds decodes exactly.
TEST(Mp4Copy, CopyEndsBeforeAPacketThatDoesNotDecode) {
  TempDir dir;
  QFile file(Aac("mc-44k-2.m4a", 44100, 2));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  QByteArray bytes = file.readAll();
  const qsizetype mdat = bytes.indexOf("mdat") - 4;
  ASSERT_GT(mdat, 0);
  const qsizetype at = mdat + qFromBigEndian<quint32>(bytes.constData() + mdat) * 2 / 3;
  for (qsizetype i = 0; i < 2000; i += 37) bytes[at + i] = char(bytes[at + i] ^ 0x5A);
  const QString src = dir.file("damaged.m4a"), out = dir.file("copy.m4a");
  QFile damaged(src);
  ASSERT_TRUE(damaged.open(QIODevice::WriteOnly) && damaged.write(bytes) == bytes.size());
  damaged.close();
  auto copy = Open(src);
  ASSERT_TRUE(copy);
  const auto outcome = mp4copy::WriteMp4Copy({{copy.get(), 3000, copy->Length()}}, out, {});
  EXPECT_TRUE(outcome.damaged);
  EXPECT_GT(outcome.decodedFrames, copy->Length() / 2);
  EXPECT_LT(outcome.decodedFrames, copy->Length() - 3000);
  ExpectSourceFrames(out, src, 3000, 3000 + outcome.decodedFrames);
}

TEST(Mp4Copy, RefusesWhatACopyCannotExpress) {
  const QString wav = ChirpFixture("mc-src.wav", 3.0, 44100, 2);
  TempDir dir;
  const QString cutShort = dir.file("cut-short.m4a");
  {
    QFile whole(Fixture("mc-faststart.m4a", {"-i", wav, "-c:a", "aac", "-movflags", "+faststart"}));
    QFile part(cutShort);
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly) && part.open(QIODevice::WriteOnly));
    part.write(whole.read(whole.size() * 2 / 3));
  }
  struct Case {
    const char* name;
    QString path;
    std::int64_t lengthOffset;  // added to the reader's length
    const char* reason;
  };
  const Case cases[] = {
      {"ALAC", ChirpFixture("mc-alac.m4a", 1.0, 44100, 2, {"-c:a", "alac"}), 0, "not AAC"},
      {"two audio tracks", Fixture("mc-two.m4a", {"-i", wav, "-i", wav, "-map", "0:a", "-map", "1:a", "-c:a", "aac"}), 0,
       "more than one audio track"},
      {"fragmented", Fixture("mc-frag.m4a", {"-i", wav, "-c:a", "aac", "-movflags", "frag_keyframe+empty_moov"}), 0,
       "fragmented"},
      {"empty edit", Fixture("mc-late.m4a", {"-itsoffset", "0.5", "-i", wav, "-c:a", "aac"}), 0, "empty edit"},
      {"wrong length", Aac("mc-44k-2.m4a", 44100, 2), 1, "do not add up"},
      {"not MP4", wav, 0, "movie box"},
      {"cut short", cutShort, 0, "past the end"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QString why;
    std::int64_t length = 0;
    try {
      length = ReaderLength(c.path);
    } catch (const Error&) {
    }
    EXPECT_EQ(Mp4CopySource::Open(c.path, length + c.lengthOffset, &why), nullptr);
    EXPECT_TRUE(why.contains(c.reason)) << why.toStdString();
  }
}

TEST(Mp4Copy, SameSetupComparesTheAacConfiguration) {
  auto stereo = Open(Aac("mc-44k-2.m4a", 44100, 2));
  auto again = Open(Aac("mc-44k-2b.m4a", 44100, 2));
  auto mono = Open(Aac("mc-48k-1.m4a", 48000, 1));
  EXPECT_TRUE(stereo->SameSetup(*again));
  EXPECT_FALSE(stereo->SameSetup(*mono));
}

TEST(Mp4Copy, WriteFailureNamesThePath) {
  TempDir dir;
  auto copy = Open(Aac("mc-44k-2.m4a", 44100, 2));
  QFile blocker(dir.file("folder"));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  const QString out = dir.file("folder/cut.m4a");
  try {
    mp4copy::WriteMp4Copy({{copy.get(), 0, 1000}}, out, {});
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find(out.toStdString()), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace snipwave::test
