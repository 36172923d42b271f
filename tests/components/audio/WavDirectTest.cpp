#include <gtest/gtest.h>

#include <QFile>
#include <cstring>

#include "AudioTestHelpers.h"
#include "Commands.h"
#include "TempDir.h"
#include "components/audio/SourceDecoder.h"
#include "components/audio/TAudioFile2.h"
#include "platform/Error.h"

// PCM WAV sources take their length from the header and seek straight to a
// byte offset; these tests hold that path to a full decode by the ffmpeg CLI,
// including files whose header does not tell the whole truth.
namespace snipwave::test {
namespace {

QByteArray ReadBytes(const QString& path) {
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
  return f.readAll();
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
  ASSERT_EQ(f.write(bytes), bytes.size());
}

std::uint32_t Le32(const QByteArray& b, qsizetype at) {
  std::uint32_t v = 0;
  std::memcpy(&v, b.constData() + at, 4);
  return v;
}

void SetLe32(QByteArray& b, qsizetype at, std::uint32_t v) { std::memcpy(b.data() + at, &v, 4); }

// Offset of the first byte of the 'data' chunk's payload (walking the chunks).
qsizetype DataStart(const QByteArray& wav) {
  qsizetype at = 12;
  while (at + 8 <= wav.size()) {
    const std::uint32_t size = Le32(wav, at + 4);
    if (std::memcmp(wav.constData() + at, "data", 4) == 0) return at + 8;
    at += 8 + size + (size & 1);
  }
  ADD_FAILURE() << "no data chunk";
  return -1;
}

bool FromHeader(const QString& path) { return audio::SourceDecoder(path.toStdString()).MeasuredFromHeader(); }

// Length and every sample equal the ffmpeg CLI's decode of the same file.
void ExpectMatchesFfmpeg(const QString& path, int channels) {
  const std::vector<float> reference = DecodeWithFfmpeg(path);
  TAudioFile2 reader;
  reader.OpenFile(path.toStdString(), 0, 1);
  ASSERT_EQ(static_cast<std::size_t>(reader.LengthSamples()) * channels, reference.size());
  const std::vector<float> all = ReadToEnd(reader, 3001);
  ASSERT_EQ(all.size(), reference.size());
  EXPECT_TRUE(all == reference) << "decoded samples differ from the ffmpeg CLI";
  EXPECT_TRUE(reader.ReadSamples(100).empty());
}

// Seeks to `positions` give exactly the frames of the continuous read `all`.
void ExpectSeeksExact(TAudioFile2& reader, const std::vector<float>& all, const std::vector<std::int64_t>& positions) {
  const int channels = reader.Channels();
  const std::int64_t length = reader.LengthSamples();
  for (const std::int64_t pos : positions) {
    SCOPED_TRACE("seek to " + std::to_string(pos));
    EXPECT_EQ(reader.SeekSample(pos, 3), pos);
    const SampleBuffer got = reader.ReadSamples(2500);
    const std::int64_t expectFrames = std::min<std::int64_t>(2500, length - pos);
    ASSERT_EQ(static_cast<std::int64_t>(got.size()), expectFrames * channels);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), all.begin() + pos * channels));
  }
}

struct PcmKind {
  const char* name;
  const char* file;
  int rate;
  int channels;
  const char* codec;
};

class PcmWav : public ::testing::TestWithParam<PcmKind> {
 protected:
  QString Source() const {
    const PcmKind& k = GetParam();
    return ChirpFixture(k.file, 3.0, k.rate, k.channels, {"-c:a", k.codec});
  }
};

TEST_P(PcmWav, LengthFromTheHeaderAndContentMatchAFullDecode) {
  const QString path = Source();
  EXPECT_TRUE(FromHeader(path));
  ExpectMatchesFfmpeg(path, GetParam().channels);
}

// Many positions: random ones, the demuxer's 4 KiB packet edges and the ends,
// in an order that seeks backwards and forwards, near and far.
TEST_P(PcmWav, SeeksAreExactEverywhere) {
  const QString path = Source();
  TAudioFile2 reader;
  reader.OpenFile(path.toStdString(), 0, 1);
  const std::vector<float> all = ReadToEnd(reader);
  const std::int64_t length = reader.LengthSamples();
  ASSERT_EQ(static_cast<std::int64_t>(all.size()), length * GetParam().channels);
  const std::int64_t blockAlign = static_cast<std::int64_t>(GetParam().channels) *
                                  (std::strcmp(GetParam().codec, "pcm_s24le") == 0   ? 3
                                   : std::strcmp(GetParam().codec, "pcm_f32le") == 0 ? 4
                                   : std::strcmp(GetParam().codec, "pcm_s16le") == 0 ? 2
                                                                                      : 1);
  std::vector<std::int64_t> positions = {0, 1, length - 1, length / 2, 2};
  for (std::int64_t edge = 4096 / blockAlign; edge < length && positions.size() < 25; edge += 7 * 4096 / blockAlign) {
    positions.insert(positions.end(), {edge - 1, edge, edge + 1});
  }
  std::uint64_t state = 12345;
  for (int i = 0; i < 40; ++i) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    positions.push_back(static_cast<std::int64_t>((state >> 33) % static_cast<std::uint64_t>(length)));
  }
  ExpectSeeksExact(reader, all, positions);
  reader.SeekSample(length, 3);
  EXPECT_TRUE(reader.ReadSamples(10).empty());
  // Reading on after a seek runs through to the end without a gap.
  reader.SeekSample(length - 5000, 3);
  const std::vector<float> tail = ReadToEnd(reader, 777);
  EXPECT_TRUE(std::equal(tail.begin(), tail.end(), all.end() - 5000 * GetParam().channels, all.end()));
  EXPECT_EQ(tail.size(), static_cast<std::size_t>(5000 * GetParam().channels));
}

INSTANTIATE_TEST_SUITE_P(PcmFormats, PcmWav,
                         ::testing::Values(PcmKind{"S16Stereo", "pcm-s16-stereo.wav", 44100, 2, "pcm_s16le"},
                                           PcmKind{"U8Mono", "pcm-u8-mono.wav", 22050, 1, "pcm_u8"},
                                           PcmKind{"S24Stereo", "pcm-s24-stereo.wav", 48000, 2, "pcm_s24le"},
                                           PcmKind{"F32Mono", "pcm-f32-mono.wav", 44100, 1, "pcm_f32le"},
                                           PcmKind{"AlawMono", "pcm-alaw-mono.wav", 8000, 1, "pcm_alaw"}),
                         [](const auto& info) { return std::string(info.param.name); });

QString StereoSource() { return ChirpFixture("pcm-s16-stereo.wav", 3.0, 44100, 2, {"-c:a", "pcm_s16le"}); }

// A file cut short of what its header claims (mid-frame, as a copy that broke
// off) reports what a decode yields, not the header's count.
TEST(PcmWavDamaged, TruncatedFileReportsWhatADecodeYields) {
  TempDir dir;
  QByteArray bytes = ReadBytes(StereoSource());
  const QString path = dir.file("cut short.wav");
  WriteBytes(path, bytes.left(bytes.size() - 40001));  // 10000 frames and a quarter gone
  EXPECT_TRUE(FromHeader(path));
  ExpectMatchesFfmpeg(path, 2);
  TAudioFile2 reader;
  reader.OpenFile(path.toStdString(), 0, 1);
  const std::vector<float> all = ReadToEnd(reader);
  ExpectSeeksExact(reader, all, {reader.LengthSamples() - 1, 0, reader.LengthSamples() - 2500, 77777});
}

TEST(PcmWavDamaged, LessThanOneFrameOfDataIsAClearError) {
  TempDir dir;
  const QByteArray bytes = ReadBytes(StereoSource());
  const QString path = dir.file("three bytes.wav");
  WriteBytes(path, bytes.left(DataStart(bytes) + 3));
  TAudioFile2 reader;
  try {
    reader.OpenFile(path.toStdString(), 0, 1);
    FAIL() << "opened a WAV file without a whole frame";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find(path.toStdString()), std::string::npos) << e.what();
  }
  EXPECT_FALSE(reader.IsOpen());
}

// Data sizes 0 and 0xFFFFFFFF (written by tools that stream) mean "to the end
// of the file" to the demuxer.
TEST(PcmWavDamaged, UnknownDataSizeReadsToTheEnd) {
  TempDir dir;
  for (const std::uint32_t size : {0u, 0xFFFFFFFFu}) {
    SCOPED_TRACE("data size " + std::to_string(size));
    QByteArray bytes = ReadBytes(StereoSource());
    SetLe32(bytes, DataStart(bytes) - 4, size);
    const QString path = dir.file(QString("streamed-%1.wav").arg(size));
    WriteBytes(path, bytes.left(bytes.size() - 2));  // and half a frame short
    EXPECT_TRUE(FromHeader(path));
    ExpectMatchesFfmpeg(path, 2);
  }
}

// An odd data size is followed by a pad byte; that byte is no sample.
TEST(PcmWavDamaged, PadByteAfterOddDataIsNotASample) {
  TempDir dir;
  QByteArray bytes = ReadBytes(ChirpFixture("pcm-u8-mono.wav", 3.0, 22050, 1, {"-c:a", "pcm_u8"}));
  const qsizetype start = DataStart(bytes);
  bytes = bytes.left(start + 22051);
  SetLe32(bytes, start - 4, 22051);
  bytes.append('\x7f');
  const QString path = dir.file("odd.wav");
  WriteBytes(path, bytes);
  EXPECT_TRUE(FromHeader(path));
  ExpectMatchesFfmpeg(path, 1);
  TAudioFile2 reader;
  reader.OpenFile(path.toStdString(), 0, 1);
  EXPECT_EQ(reader.LengthSamples(), 22051);
}

// Chunks after the data (tags, a second data chunk) are read the way the
// demuxer reads them.
TEST(PcmWavDamaged, ChunksAfterTheDataAreCountedByAScan) {
  TempDir dir;
  const QByteArray source = ReadBytes(StereoSource());

  QByteArray tagged = source;
  QByteArray list("LIST\x0e\x00\x00\x00INFOICMT\x02\x00\x00\x00x\x00", 22);
  tagged.append(list);
  const QString taggedPath = dir.file("tagged.wav");
  WriteBytes(taggedPath, tagged);
  EXPECT_FALSE(FromHeader(taggedPath));
  ExpectMatchesFfmpeg(taggedPath, 2);

  QByteArray twice = tagged;
  twice.append("data");
  QByteArray more = source.mid(DataStart(source), 4000 * 4);
  QByteArray size(4, '\0');
  SetLe32(size, 0, static_cast<std::uint32_t>(more.size()));
  twice.append(size).append(more);
  const QString twicePath = dir.file("two data chunks.wav");
  WriteBytes(twicePath, twice);
  // (The demuxer's header walk settles on the last data chunk.)
  ExpectMatchesFfmpeg(twicePath, 2);
}

}  // namespace
}  // namespace snipwave::test
