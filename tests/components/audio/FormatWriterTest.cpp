#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <cstring>
#include <functional>

#include "AudioTestHelpers.h"
#include "Commands.h"
#include "M4aAtoms.h"
#include "TempDir.h"
#include "components/audio/TAudioFile2.h"
#include "components/tags/TagReader.h"
#include "components/tags/TagWriter.h"
#include "convert/OutputCheck.h"
#include "platform/Error.h"

namespace snipwave::test {
namespace {

constexpr double kPi = 3.14159265358979323846;

// A stereo chirp quantised to `bits`, so that a lossless output can be
// compared integer for integer: the float samples are exactly k / 2^(bits-1).
std::vector<float> QuantisedChirp(int frames, int channels, int rate, int bits) {
  const double scale = std::ldexp(1.0, bits - 1);
  return MakeSignal(frames, channels, [rate, scale](int i, int c) {
    const double t = static_cast<double>(i) / rate;
    const double v = 0.7 * std::sin(2 * kPi * (150 * t + 900 * t * t)) * (c == 0 ? 1.0 : 0.25);
    return static_cast<float>(std::round(v * scale) / scale);
  });
}

std::vector<std::int32_t> ToIntegers(const std::vector<float>& s, int bits) {
  std::vector<std::int32_t> out(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) out[i] = static_cast<std::int32_t>(std::lround(std::ldexp(s[i], bits - 1)));
  return out;
}

// Little-endian signed integers of `bytes` bytes each.
std::vector<std::int32_t> FromRaw(const QByteArray& raw, int bytes) {
  std::vector<std::int32_t> out(static_cast<std::size_t>(raw.size() / bytes));
  const auto* b = reinterpret_cast<const unsigned char*>(raw.constData());
  for (std::size_t i = 0; i < out.size(); ++i) {
    std::uint32_t v = 0;
    for (int k = bytes - 1; k >= 0; --k) v = v << 8 | b[i * bytes + k];
    const int shift = 32 - 8 * bytes;
    out[i] = static_cast<std::int32_t>(v << shift) >> shift;
  }
  return out;
}

// `flac -d` output as integers of the file's own width.
std::vector<std::int32_t> FlacDecode(const QString& path, int bits) {
  const CommandResult r = RunCommand("flac", {"-d", "-s", "-c", "--force-raw-format", "--endian=little",
                                              "--sign=signed", path});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  return FromRaw(r.out, bits / 8);
}

// FFmpeg's decode (edit list honoured) as integers of `bits` significant bits.
std::vector<std::int32_t> FfmpegIntegers(const QString& path, int bits) {
  const CommandResult r = RunCommand("ffmpeg", {"-hide_banner", "-loglevel", "error", "-nostdin", "-i", path, "-f",
                                                "s32le", "-acodec", "pcm_s32le", "-"});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  std::vector<std::int32_t> out = FromRaw(r.out, 4);
  for (std::int32_t& v : out) v >>= 32 - bits;
  return out;
}

// Frames opusdec gives at 48 kHz (it follows pre-skip and the end granule).
std::int64_t OpusdecFrames(const QString& path, int channels) {
  const CommandResult r = RunCommand("opusdec", {"--quiet", "--rate", "48000", path, "-"});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  return r.out.size() / (2 * channels);
}

QString MetaflacLine(const QString& path, const char* option) {
  const CommandResult r = RunCommand("metaflac", {option, path});
  return QString::fromUtf8(r.out).trimmed();
}

using Configure = std::function<void(TAudioFile2&)>;

void WriteFile(const QString& path, const Configure& configure, const std::vector<float>& signal, int rate,
               int channels) {
  TAudioFile2 writer;
  configure(writer);
  writer.SetPcmFormat(rate, channels);
  writer.CreateOutputFile(path.toStdString());
  for (std::size_t at = 0; at < signal.size(); at += 3000u * channels) {
    const std::size_t end = std::min(signal.size(), at + 3000u * channels);
    writer.WriteSamples(SampleBuffer(signal.begin() + static_cast<std::ptrdiff_t>(at),
                                     signal.begin() + static_cast<std::ptrdiff_t>(end)));
  }
  writer.CloseFile();
}

// Lossless outputs: the decode of an independent tool is the input, integer
// for integer and frame for frame; FLAC's STREAMINFO holds the length and
// the samples' MD5 (which `flac -t` verifies). 4097 frames end in a frame of
// one sample: ALAC's in three or more channels aborted inside FFmpeg 5.1.
struct LosslessCase {
  const char* name;
  const char* ext;
  int bits, level, rate, channels;
};
class LosslessOutput : public ::testing::TestWithParam<LosslessCase> {};

TEST_P(LosslessOutput, DecodesBitIdentical) {
  const LosslessCase k = GetParam();
  const bool flac = std::string(k.ext) == ".flac";
  for (const int frames : {1, 4095, 4097, 3 * k.rate + 17}) {
    SCOPED_TRACE(frames);
    TempDir dir;
    const QString path = dir.file(QString("out") + k.ext);
    const std::vector<float> signal = QuantisedChirp(frames, k.channels, k.rate, k.bits);
    WriteFile(path, [&](TAudioFile2& w) {
      if (flac) w.SetFlacFormat(k.level, k.bits);
      else w.SetM4aFormat(true, 192, k.bits);
    }, signal, k.rate, k.channels);
    const std::vector<std::int32_t> decoded = flac ? FlacDecode(path, k.bits) : FfmpegIntegers(path, k.bits);
    ASSERT_EQ(decoded.size(), signal.size());
    EXPECT_TRUE(decoded == ToIntegers(signal, k.bits));
    const ProbeInfo info = FfprobeInfo(path);
    EXPECT_EQ(info.sampleRate, k.rate);
    EXPECT_EQ(info.channels, k.channels);
    if (flac) {
      EXPECT_EQ(MetaflacLine(path, "--show-total-samples").toLongLong(), frames);
      EXPECT_EQ(MetaflacLine(path, "--show-bps").toInt(), k.bits);
      EXPECT_NE(MetaflacLine(path, "--show-md5sum"), QString(32, '0'));
      const CommandResult test = RunCommand("flac", {"-t", "-s", path});
      EXPECT_EQ(test.exitCode, 0) << test.err.toStdString();
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, LosslessOutput,
                         ::testing::Values(LosslessCase{"Flac16Level0", ".flac", 16, 0, 44100, 2},
                                           LosslessCase{"Flac24Level8Mono", ".flac", 24, 8, 96000, 1},
                                           LosslessCase{"Flac16Level5", ".flac", 16, 5, 48000, 2},
                                           LosslessCase{"Alac16", ".m4a", 16, 0, 44100, 2},
                                           LosslessCase{"Alac24", ".m4a", 24, 0, 48000, 2},
                                           LosslessCase{"Alac16ThreeChannels", ".m4a", 16, 0, 44100, 3},
                                           LosslessCase{"Alac24EightChannels", ".m4a", 24, 0, 48000, 8}),
                         [](const auto& info) { return std::string(info.param.name); });


// Opus output: opusdec (which follows pre-skip and the final granule) gives
// exactly the frames written, counted at 48 kHz; the audio is the input.
struct OpusCase {
  const char* name;
  int kbps;
  bool vbr, speech;
  int rate, channels;
};
class OpusOutput : public ::testing::TestWithParam<OpusCase> {};

TEST_P(OpusOutput, DecodesToTheFramesWritten) {
  const OpusCase k = GetParam();
  for (const int frames : {1, 959, 961, 2 * k.rate + 7}) {
    SCOPED_TRACE(frames);
    TempDir dir;
    const QString path = dir.file("out.opus");
    const std::vector<float> signal = QuantisedChirp(frames, k.channels, k.rate, 16);
    WriteFile(path, [&](TAudioFile2& w) { w.SetOpusFormat(k.kbps, k.vbr, k.speech, 0); }, signal, k.rate, k.channels);
    const std::int64_t expected = (static_cast<std::int64_t>(frames) * 48000 + k.rate / 2) / k.rate;
    EXPECT_EQ(OpusdecFrames(path, k.channels), expected);
    if (frames < 960) continue;  // FFmpeg 5.1 leaves a lone packet untrimmed at its end
    const std::vector<float> decoded = DecodeWithFfmpeg(path, 0, 48000);
    EXPECT_EQ(static_cast<std::int64_t>(decoded.size()), expected * k.channels);
    if (k.rate == 48000 && k.kbps >= 64 && frames > 48000) EXPECT_GT(Correlation(signal, decoded), 0.95);
  }
}

INSTANTIATE_TEST_SUITE_P(Settings, OpusOutput,
                         ::testing::Values(OpusCase{"Vbr128Stereo", 128, true, false, 48000, 2},
                                           OpusCase{"Cbr6SpeechMono", 6, false, true, 48000, 1},
                                           OpusCase{"Vbr510From44100", 510, true, false, 44100, 2},
                                           OpusCase{"Cbr64From22050", 64, false, false, 22050, 1},
                                           OpusCase{"Vbr510MonoCapped", 510, true, false, 48000, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

// AAC in M4A: the encoder delay and the length are in the edit list (media
// time, segment duration in a movie time scale of the sample rate) and in the
// iTunes gapless comment; the sample table comes before the audio. FFmpeg
// 5.1 drops the priming by the edit list (the end it leaves to the player):
// its decode starts with the first frame written.
struct AacCase {
  const char* name;
  int kbps, rate, channels, outRate;
};
class AacOutput : public ::testing::TestWithParam<AacCase> {};

TEST_P(AacOutput, EditListAndGaplessCommentHoldTheRange) {
  const AacCase k = GetParam();
  for (const int frames : {1, 1024, 1025, 2 * k.rate + 7}) {
    SCOPED_TRACE(frames);
    TempDir dir;
    const QString path = dir.file("out.m4a");
    const std::vector<float> signal = QuantisedChirp(frames, k.channels, k.rate, 16);
    WriteFile(path, [&](TAudioFile2& w) { w.SetM4aFormat(false, k.kbps, 16); }, signal, k.rate, k.channels);
    const std::int64_t length = (static_cast<std::int64_t>(frames) * k.outRate + k.rate / 2) / k.rate;
    const M4aAtoms atoms(path);
    EXPECT_EQ(atoms.TopLevel().indexOf("moov"), 1);
    EXPECT_LT(atoms.TopLevel().indexOf("moov"), atoms.TopLevel().indexOf("mdat"));
    EXPECT_EQ(atoms.MovieTimeScale(), k.outRate);
    EXPECT_EQ(atoms.FirstEdit(), std::make_pair(length, std::int64_t{1024}));
    const QStringList fields = atoms.Freeform("iTunSMPB").split(' ', Qt::SkipEmptyParts);
    ASSERT_GE(fields.size(), 4);
    EXPECT_EQ(fields[1].toLongLong(nullptr, 16), 1024);
    EXPECT_EQ(fields[3].toLongLong(nullptr, 16), length);
    const std::int64_t padding = fields[2].toLongLong(nullptr, 16);
    EXPECT_EQ((1024 + length + padding) % 1024, 0);
    EXPECT_LT(padding, 2048);
    const ProbeInfo info = FfprobeInfo(path);
    EXPECT_EQ(info.codec, "aac");
    EXPECT_EQ(info.sampleRate, k.outRate);
    if (k.outRate == k.rate && frames > k.rate) {
      // The decode starts where the input did (no priming, no shift).
      std::vector<float> decoded = DecodeWithFfmpeg(path);
      ASSERT_GE(decoded.size(), signal.size());
      decoded.resize(signal.size());
      EXPECT_GT(Correlation(signal, decoded), 0.95);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Settings, AacOutput,
                         ::testing::Values(AacCase{"Stereo192", 192, 44100, 2, 44100},
                                           AacCase{"Mono32At8000", 32, 8000, 1, 8000},
                                           AacCase{"Stereo320At48000", 320, 48000, 2, 48000},
                                           AacCase{"Rate37800RaisedTo44100", 128, 37800, 2, 44100}),
                         [](const auto& info) { return std::string(info.param.name); });


struct KindCase {
  const char* name;
  const char* ext;
  Configure configure;
};
const std::vector<KindCase>& NewKinds() {
  static const std::vector<KindCase> kinds = {
      {"Flac", ".flac", [](TAudioFile2& w) { w.SetFlacFormat(5, 16); }},
      {"Opus", ".opus", [](TAudioFile2& w) { w.SetOpusFormat(96, true, false, 0); }},
      {"Aac", ".m4a", [](TAudioFile2& w) { w.SetM4aFormat(false, 128, 16); }},
      {"Alac", ".m4a", [](TAudioFile2& w) { w.SetM4aFormat(true, 128, 24); }},
  };
  return kinds;
}

// Every field and the cover go through each kind's own tag system (TagLib)
// and come back as FFmpeg reads them; the AAC gapless comment survives.
TEST(NewKindTags, RoundTripThroughTagLibAndFfmpeg) {
  TempDir dir;
  const QString coverPath = Fixture("cover16.png", {"-f", "lavfi", "-i", "color=c=red:s=16x16", "-frames:v", "1"});
  QFile coverFile(coverPath);
  ASSERT_TRUE(coverFile.open(QIODevice::ReadOnly));
  TagSet tags;
  const char* values[] = {"Title ü", "Artist", "Album", "Album Artist", "3", "1", "2024", "Genre", "A comment"};
  for (int i = 0; i < kTagFieldCount; ++i) tags.values[static_cast<std::size_t>(i)] = QString::fromUtf8(values[i]);
  tags.cover = {coverFile.readAll(), "image/png"};
  for (const KindCase& kind : NewKinds()) {
    SCOPED_TRACE(kind.name);
    const QString path = dir.file(QString(kind.name) + kind.ext);
    WriteFile(path, kind.configure, QuantisedChirp(44100, 2, 44100, 16), 44100, 2);
    const QString gapless = M4aAtoms(path).Freeform("iTunSMPB");
    const std::vector<float> audio = DecodeWithFfmpeg(path);
    TagLibWriter().WriteTags(path, tags);
    EXPECT_EQ(ReadTags(path), tags);
    EXPECT_EQ(M4aAtoms(path).Freeform("iTunSMPB"), gapless);
    EXPECT_EQ(gapless.isEmpty(), std::string(kind.name) != "Aac");
    EXPECT_TRUE(DecodeWithFfmpeg(path) == audio);  // the audio untouched by the rewrite
  }
}

// Settings the encoder cannot honour are refused with a message naming the
// value before anything is written; so is a path that cannot be a file.
TEST(NewKindWriter, RefusesBeforeWriting) {
  TempDir dir;
  struct Refused {
    const char* ext;
    Configure configure;
    const char* says;
    int channels = 2;
  };
  const std::vector<Refused> refused = {
      {".flac", [](TAudioFile2& w) { w.SetFlacFormat(9, 16); }, "level 9"},
      {".flac", [](TAudioFile2& w) { w.SetFlacFormat(5, 20); }, "20 bits"},
      {".flac", [](TAudioFile2& w) { w.SetFlacFormat(5, 16); }, "10 channel(s)", 10},
      {".opus", [](TAudioFile2& w) { w.SetOpusFormat(5, true, false, 0); }, "5 kbit/s"},
      {".opus", [](TAudioFile2& w) { w.SetOpusFormat(511, true, false, 0); }, "511 kbit/s"},
      {".m4a", [](TAudioFile2& w) { w.SetM4aFormat(false, 321, 16); }, "321 kbit/s"},
      {".m4a", [](TAudioFile2& w) { w.SetM4aFormat(true, 128, 8); }, "8 bits"},
      {".m4a", [](TAudioFile2& w) { w.SetM4aFormat(false, 128, 16); }, "9 channel(s)", 9},
  };
  for (const Refused& r : refused) {
    SCOPED_TRACE(r.says);
    TAudioFile2 writer;
    r.configure(writer);
    writer.SetPcmFormat(44100, r.channels);
    const QString path = dir.file(QString("bad") + r.ext);
    try {
      writer.CreateOutputFile(path.toStdString());
      ADD_FAILURE() << "no error";
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find(r.says), std::string::npos) << e.what();
    }
    EXPECT_FALSE(QFileInfo::exists(path));
  }
  QFile plain(dir.file("plain"));
  ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
  plain.close();
  for (const KindCase& kind : NewKinds()) {
    SCOPED_TRACE(kind.name);
    TAudioFile2 writer;
    kind.configure(writer);
    writer.SetPcmFormat(44100, 2);
    EXPECT_THROW(writer.CreateOutputFile(dir.fileStd(QString("plain/out") + kind.ext)), Error);
    const QString folder = dir.file(QString("taken-") + kind.name + kind.ext);
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_THROW(writer.CreateOutputFile(folder.toStdString()), Error);
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_FALSE(writer.IsOpen());
  }
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"plain"});
}


// The output check reads each new kind back with the program's own reader
// and finds exactly the frames written (at the output's rate: Opus 48 kHz,
// AAC the next rate it has); one frame more written fails it by name.
TEST(NewKindCheck, ReaderFindsExactlyTheFramesWritten) {
  struct Case {
    const KindCase& kind;
    int rate, channels, frames;
  };
  const auto& kinds = NewKinds();
  for (const Case c : {Case{kinds[0], 44100, 2, 44100 * 3 + 5}, Case{kinds[0], 96000, 1, 4097},
                       Case{kinds[1], 44100, 2, 44100 * 2 + 1}, Case{kinds[1], 48000, 1, 48000 + 961},
                       Case{kinds[1], 48000, 2, 700},
                       Case{kinds[2], 44100, 2, 44100 * 2 + 7}, Case{kinds[2], 37800, 1, 37800 + 3},
                       Case{kinds[3], 48000, 2, 48000 * 2 + 9}}) {
    SCOPED_TRACE(std::string(c.kind.name) + " " + std::to_string(c.rate) + " Hz, " + std::to_string(c.frames));
    TempDir dir;
    const QString path = dir.file(QString("out") + c.kind.ext);
    WriteFile(path, c.kind.configure, QuantisedChirp(c.frames, c.channels, c.rate, 16), c.rate, c.channels);
    TAudioFile2 reader;
    const auto passed = detail::CheckOutputLength(reader, path, "final" + QString(c.kind.ext), c.frames, c.rate);
    EXPECT_FALSE(passed.has_value()) << passed->toStdString();
    const auto failed = detail::CheckOutputLength(reader, path, "final" + QString(c.kind.ext), c.frames + 1, c.rate);
    ASSERT_TRUE(failed.has_value());
    EXPECT_TRUE(failed->startsWith("final" + QString(c.kind.ext) + " failed its check")) << failed->toStdString();
  }
}


// A range cut from files made by other tools (sox, flac) into FLAC and ALAC
// holds exactly the source's samples of [begin, end), integer for integer,
// as `flac -d` and FFmpeg decode both.
TEST(NewKindCut, LosslessCutsAreTheSourcesSamples) {
  const QString wav24 = ToolFixture("cut-src24.wav", "sox", [](const QString& out) {
    return QStringList{"-n", "-r", "48000", "-b", "24", "-c", "2", out, "synth", "3", "sine", "100-9000", "sine", "330"};
  });
  const QString flac16 = ToolFixture("cut-src16.flac", "flac", [](const QString& out) {
    const QString wav = ToolFixture("cut-src16.wav", "sox", [](const QString& o) {
      return QStringList{"-n", "-r", "44100", "-b", "16", "-c", "2", o, "synth", "3", "pinknoise", "gain", "-6"};
    });
    return QStringList{"-s", "-f", "-8", "-o", out, wav};
  });
  struct Case {
    QString source;
    int bits;
  };
  constexpr std::int64_t kBegin = 12345, kEnd = 12345 + 70001;
  for (const Case& c : {Case{wav24, 24}, Case{flac16, 16}}) {
    const std::vector<std::int32_t> all = FfmpegIntegers(c.source, c.bits);
    const std::vector<std::int32_t> range(all.begin() + kBegin * 2, all.begin() + kEnd * 2);
    for (const bool alac : {false, true}) {
      SCOPED_TRACE(c.source.toStdString() + (alac ? " to ALAC" : " to FLAC"));
      TempDir dir;
      TAudioFile2 reader;
      reader.OpenFile(c.source.toStdString());
      ASSERT_EQ(reader.SeekSample(kBegin), kBegin);
      std::vector<float> cut;
      while (static_cast<std::int64_t>(cut.size()) < (kEnd - kBegin) * 2) {
        const SampleBuffer b = reader.ReadSamples(static_cast<int>(std::min<std::int64_t>(4410, kEnd - kBegin - cut.size() / 2)));
        ASSERT_FALSE(b.empty());
        cut.insert(cut.end(), b.begin(), b.end());
      }
      const QString out = dir.file(alac ? "cut.m4a" : "cut.flac");
      WriteFile(out, [&](TAudioFile2& w) {
        if (alac) w.SetM4aFormat(true, 128, c.bits);
        else w.SetFlacFormat(5, c.bits);
      }, cut, static_cast<int>(reader.SampleRate()), 2);
      EXPECT_TRUE((alac ? FfmpegIntegers(out, c.bits) : FlacDecode(out, c.bits)) == range);
    }
  }
}

}  // namespace
}  // namespace snipwave::test
