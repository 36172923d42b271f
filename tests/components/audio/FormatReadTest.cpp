#include <gtest/gtest.h>

#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>

#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <cstdio>
#include <functional>

#include "AudioTestHelpers.h"
#include "Commands.h"
#include "TempDir.h"
#include "components/audio/SketchReader.h"
#include "components/audio/SourceDecoder.h"
#include "components/audio/TAudioFile2.h"

// The formats read besides MP3, PCM WAV, WMA and Ogg Vorbis, as other tools
// make them: length, content and seeks against an independent decode.
namespace snipwave::test {
namespace {

using audio::SourceDecoder;

constexpr std::int64_t kSourceFrames = 176400;  // 4 s at 44.1 kHz

QString Source16() { return ChirpFixture("chirp4.wav", 4.0, 44100, 2); }
QString Source24() { return ChirpFixture("chirp4-24.wav", 4.0, 44100, 2, {"-c:a", "pcm_s24le"}); }

// What the reader must give.
enum class Truth {
  kSource,       // lossless: the source's own samples
  kDecoded,      // every frame an ffmpeg decode gives (ADPCM blocks, ADTS frames)
  kSourceLength  // AAC in M4A: the source's length (the container's ends), ffmpeg's samples
};

struct ReadKind {
  const char* name;
  const char* file;
  bool from24;
  QString program;  // "ffmpeg", "flac" or "sox"
  QStringList args;  // for ffmpeg/sox: between the input and the output; for flac: options
  Truth truth;
};

std::vector<ReadKind> ReadKinds() {
  return {
      {"Flac16", "r-5.flac", false, "flac", {"-5"}, Truth::kSource},
      {"Flac0Block1152", "r-0-1152.flac", false, "flac", {"-0", "--blocksize=1152"}, Truth::kSource},
      {"Flac24Level8", "r-8-24.flac", true, "flac", {"-8"}, Truth::kSource},
      {"Aiff16", "r.aiff", false, "sox", {}, Truth::kSource},
      {"Aiff24", "r-24.aiff", true, "sox", {}, Truth::kSource},
      {"AifcFloat", "r-fl32.aifc", false, "sox", {"-e", "floating-point", "-b", "32", "-t", "aifc"}, Truth::kDecoded},
      {"AifcSowt", "r-sowt.aif", false, "ffmpeg", {"-c:a", "pcm_s16le", "-f", "aiff"}, Truth::kSource},
      {"AifcAlaw", "r-alaw.aif", false, "ffmpeg", {"-c:a", "pcm_alaw", "-f", "aiff"}, Truth::kDecoded},
      {"AifcIma4", "r-ima4.aif", false, "ffmpeg", {"-c:a", "adpcm_ima_qt", "-f", "aiff"}, Truth::kDecoded},
      {"WavImaAdpcm", "r-ima.wav", false, "sox", {"-e", "ima-adpcm"}, Truth::kDecoded},
      {"WavMsAdpcm", "r-ms.wav", false, "sox", {"-e", "ms-adpcm"}, Truth::kDecoded},
      {"WavAlaw", "r-alaw.wav", false, "sox", {"-e", "a-law"}, Truth::kDecoded},
      {"WavMulaw", "r-ulaw.wav", false, "sox", {"-e", "u-law"}, Truth::kDecoded},
      {"WavFloat32", "r-f32.wav", false, "sox", {"-e", "floating-point", "-b", "32"}, Truth::kDecoded},
      {"Wav24", "r-24.wav", true, "sox", {"-b", "24"}, Truth::kSource},
      {"Wav32", "r-32.wav", true, "sox", {"-b", "32"}, Truth::kSource},
      {"M4aAlac", "r-alac.m4a", false, "ffmpeg", {"-c:a", "alac"}, Truth::kSource},
      {"M4aAlac24", "r-alac24.m4a", true, "ffmpeg", {"-c:a", "alac", "-sample_fmt", "s32p"}, Truth::kSource},
      {"M4aAac", "r-aac.m4a", false, "ffmpeg", {"-c:a", "aac", "-b:a", "128k"}, Truth::kSourceLength},
      {"AdtsAac", "r-adts.aac", false, "ffmpeg", {"-c:a", "aac", "-b:a", "96k", "-f", "adts"}, Truth::kDecoded},
  };
}

QString KindFixture(const ReadKind& k) {
  const QString source = k.from24 ? Source24() : Source16();
  if (k.program == "flac") {
    return ToolFixture(k.file, "flac", [&](const QString& out) {
      return QStringList{"-s", "-f"} + k.args + QStringList{"-o", out, source};
    });
  }
  if (k.program == "sox") {
    return ToolFixture(k.file, "sox", [&](const QString& out) { return QStringList{source} + k.args + QStringList{out}; });
  }
  return Fixture(k.file, QStringList{"-i", source} + k.args);
}

ReadKind KindNamed(const std::string& name) {
  for (const ReadKind& k : ReadKinds())
    if (name == k.name) return k;
  ADD_FAILURE() << "no kind " << name;
  return ReadKinds().front();
}

std::vector<float> ReadAll(SourceDecoder& d) {
  std::vector<float> all;
  while (d.Read(4096, all) > 0) {
  }
  return all;
}

std::vector<float> Expected(const ReadKind& k, const QString& path) {
  switch (k.truth) {
    case Truth::kSource:
      return DecodeWithFfmpeg(k.from24 ? Source24() : Source16());
    case Truth::kDecoded:
      return DecodeWithFfmpeg(path);
    case Truth::kSourceLength: {
      std::vector<float> decoded = DecodeWithFfmpeg(path);
      EXPECT_GE(decoded.size(), 2u * kSourceFrames);
      decoded.resize(2u * kSourceFrames);
      return decoded;
    }
  }
  return {};
}

// AAC's noise substitution draws from a random generator that runs from the
// decoder's start, so after a seek the noise in those bands differs from a
// continuous decode by some 1e-5; a seek one frame off differs by about 0.1.
float AacNoiseTolerance(const ReadKind& k) { return QString(k.file).contains("aac") ? 1e-3f : 0.0f; }

void PrintTo(const ReadKind& k, std::ostream* os) { *os << k.name; }

class FormatRead : public ::testing::TestWithParam<ReadKind> {};

// Length and every sample equal the truth of the kind; reads that start at a
// seek equal the continuous read there.
TEST_P(FormatRead, LengthContentAndSeeksAreExact) {
  const ReadKind& k = GetParam();
  const QString path = KindFixture(k);
  const std::vector<float> expected = Expected(k, path);
  ASSERT_FALSE(expected.empty());
  SourceDecoder d(path.toStdString());
  EXPECT_EQ(d.SampleRate(), 44100);
  ASSERT_EQ(d.Channels(), 2);
  ASSERT_EQ(d.LengthFrames() * 2, static_cast<std::int64_t>(expected.size()));
  const std::vector<float> all = ReadAll(d);
  ASSERT_EQ(all.size(), expected.size());
  EXPECT_TRUE(all == expected) << "decoded samples differ";
  const std::int64_t length = d.LengthFrames();
  for (std::int64_t pos : {std::int64_t{150001}, std::int64_t{1}, std::int64_t{44100}, std::int64_t{100000},
                           length - 5, std::int64_t{4097}}) {
    SCOPED_TRACE("seek to " + std::to_string(pos));
    d.Seek(pos);
    std::vector<float> got;
    const std::size_t n = d.Read(20000, got);
    ASSERT_EQ(static_cast<std::int64_t>(n), std::min<std::int64_t>(20000, length - pos));
    float worst = 0;
    for (std::size_t i = 0; i < got.size(); ++i) worst = std::max(worst, std::fabs(got[i] - all[pos * 2 + i]));
    EXPECT_LE(worst, k.truth == Truth::kSource ? 0.0f : AacNoiseTolerance(k));
  }
}

// A cut [b, e) written to WAV decodes to exactly e - b frames; from a
// lossless source they are the source's own samples.
TEST_P(FormatRead, CutToWavIsExact) {
  const ReadKind& k = GetParam();
  const QString path = KindFixture(k);
  constexpr std::int64_t kBegin = 50001, kEnd = 133333;
  TempDir dir;
  const QString out = dir.file("cut.wav");
  {
    TAudioFile2 reader, writer;
    reader.OpenFile(path.toStdString(), 0, 1);
    reader.SeekSample(kBegin, 3);
    writer.SetWavFormat(44100, 2, 16);
    writer.SetPcmFormat(44100, 2);
    writer.CreateOutputFile(out.toStdString(), 0);
    for (std::int64_t left = kEnd - kBegin; left > 0;) {
      const SampleBuffer b = reader.ReadSamples(static_cast<int>(std::min<std::int64_t>(left, 4410)));
      ASSERT_FALSE(b.empty());
      writer.WriteSamples(b);
      left -= static_cast<std::int64_t>(b.size() / 2);
    }
    writer.CloseFile();
  }
  const std::vector<float> cut = DecodeWithFfmpeg(out);
  ASSERT_EQ(static_cast<std::int64_t>(cut.size()), 2 * (kEnd - kBegin));
  if (k.truth == Truth::kSource) {
    // A 24-bit source's samples as the 16-bit writer rounds them.
    std::vector<float> source = DecodeWithFfmpeg(k.from24 ? Source24() : Source16());
    if (k.from24) {
      for (float& v : source) v = static_cast<float>(std::clamp(std::lrint(v * 32768.0), -32768L, 32767L)) / 32768.0f;
    }
    EXPECT_TRUE(std::equal(cut.begin(), cut.end(), source.begin() + 2 * kBegin)) << "not the source's samples";
  }
}

// The waveform's quick sketch opens every kind, estimates its length and
// finds the chirp at its start, middle and end.
TEST_P(FormatRead, SketchReadsAcrossTheFile) {
  const ReadKind& k = GetParam();
  const QString path = KindFixture(k);
  const std::int64_t exact = SourceDecoder(path.toStdString()).LengthFrames();
  audio::SketchReader sketch(path.toStdString());
  EXPECT_EQ(sketch.Channels(), 2);
  EXPECT_NEAR(static_cast<double>(sketch.EstimatedFrames()), static_cast<double>(exact), exact * 0.02);
  for (double at : {0.0, 0.5, 0.97}) {
    SCOPED_TRACE(at);
    std::vector<float> mixed;
    ASSERT_EQ(sketch.ReadMixedAt(at, 3000, mixed), 3000u);  // past an AAC priming frame
    float peak = 0;
    for (float v : mixed) peak = std::max(peak, std::fabs(v));
    EXPECT_GT(peak, 0.1f);
  }
}

INSTANTIATE_TEST_SUITE_P(NewKinds, FormatRead, ::testing::ValuesIn(ReadKinds()),
                         [](const auto& info) { return std::string(info.param.name); });

// What a file is comes from its content: each kind named as another reads
// as it does under its own name.
TEST(FormatReadContent, TheContentNotTheExtensionDecides) {
  TempDir dir;
  const std::pair<const char*, const char*> renames[] = {
      {"Flac16", "mp3"}, {"M4aAac", "wav"}, {"M4aAlac", "ogg"}, {"Aiff16", "wma"}, {"AdtsAac", "mp3"},
      {"WavImaAdpcm", "flac"}};
  for (const auto& [name, extension] : renames) {
    SCOPED_TRACE(std::string(name) + " named ." + extension);
    const QString original = KindFixture(KindNamed(name));
    const QString renamed = dir.file(QString("renamed-%1.%2").arg(name, extension));
    ASSERT_TRUE(QFile::copy(original, renamed));
    SourceDecoder right(original.toStdString()), wrong(renamed.toStdString());
    ASSERT_EQ(wrong.LengthFrames(), right.LengthFrames());
    EXPECT_TRUE(ReadAll(wrong) == ReadAll(right));
  }
}

// A file cut short (a copy that stopped) reads what an independent decoder
// gets from it: the part of a frame at the cut gives nothing (FLAC, AAC) or
// its own samples (an ADPCM block), never invented silence.
TEST(FormatReadContent, FilesCutShortReadWhatIsThere) {
  TempDir dir;
  for (const char* name : {"Flac16", "Flac24Level8", "AdtsAac", "WavImaAdpcm", "WavMsAdpcm", "Aiff16"}) {
    SCOPED_TRACE(name);
    QFile original(KindFixture(KindNamed(name)));
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray bytes = original.readAll();
    const QString cut = dir.file(QString("cut-%1.%2").arg(name, QFileInfo(original.fileName()).suffix()));
    QFile out(cut);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(bytes.left(bytes.size() * 3 / 5 + 7));  // mid-frame
    out.close();
    const std::vector<float> truth = DecodeWithFfmpeg(cut);
    ASSERT_GT(truth.size(), 0u);
    SourceDecoder d(cut.toStdString());
    EXPECT_EQ(d.LengthFrames() * 2, static_cast<std::int64_t>(truth.size()));
    const std::vector<float> all = ReadAll(d);
    EXPECT_TRUE(all == truth);
    EXPECT_EQ(d.DamagedFrames(), 0);
  }
}

// AAC in M4A without an edit list: iTunes' gapless comment gives the delay
// and the length; with neither, the stream is as long as it decodes.
TEST(FormatReadM4a, GaplessCommentWithoutEditList) {
  const QString bare = Fixture("r-aac-noedit.m4a", {"-i", Source16(), "-c:a", "aac", "-b:a", "128k", "-use_editlist", "0"});
  const std::vector<float> decoded = DecodeWithFfmpeg(bare);  // every frame, priming included
  constexpr std::int64_t kDelay = 1024;
  ASSERT_GE(static_cast<std::int64_t>(decoded.size()), 2 * (kDelay + kSourceFrames));
  struct Case {
    const char* name;
    bool comment;
    std::int64_t from, frames;
  };
  const Case cases[] = {{"no comment", false, 0, static_cast<std::int64_t>(decoded.size() / 2)},
                        {"comment", true, kDelay, kSourceFrames}};
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QString path = dir.file(QString(c.name).replace(' ', '-') + ".m4a");
    ASSERT_TRUE(QFile::copy(bare, path));
    if (c.comment) {
      char value[128];
      std::snprintf(value, sizeof value, " 00000000 %08X %08X %016llX 00000000 00000000", static_cast<unsigned>(kDelay),
                    static_cast<unsigned>(decoded.size() / 2 - kDelay - kSourceFrames),
                    static_cast<unsigned long long>(kSourceFrames));
      TagLib::MP4::File f(path.toStdString().c_str());
      ASSERT_TRUE(f.isValid());
      f.tag()->setItem("----:com.apple.iTunes:iTunSMPB", TagLib::MP4::Item(TagLib::StringList(TagLib::String(value))));
      ASSERT_TRUE(f.save());
    }
    SourceDecoder d(path.toStdString());
    ASSERT_EQ(d.LengthFrames(), c.frames);
    const std::vector<float> all = ReadAll(d);
    ASSERT_EQ(static_cast<std::int64_t>(all.size()), 2 * c.frames);
    EXPECT_TRUE(std::equal(all.begin(), all.end(), decoded.begin() + 2 * c.from));
    d.Seek(100000);
    std::vector<float> got;
    ASSERT_EQ(d.Read(10000, got), 10000u);
    for (std::size_t i = 0; i < got.size(); ++i) ASSERT_NEAR(got[i], all[200000 + i], 1e-3f) << i;
  }
}

}  // namespace
}  // namespace snipwave::test
