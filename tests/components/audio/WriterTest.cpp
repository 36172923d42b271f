#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <set>

#include "AudioTestHelpers.h"
#include "Commands.h"
#include "Mp3Frames.h"
#include "TempDir.h"
#include "components/audio/TAudioFile2.h"
#include "components/audio/TAudioFile2LameEnc.h"
#include "components/audio/WmaProfiles.h"
#include "platform/Error.h"

namespace snipwave::test {
namespace {

constexpr int kRate = 44100;
constexpr double kPi = 3.14159265358979323846;

// 3 s of a stereo chirp, right channel at half level, in [-0.5, 0.5].
std::vector<float> Chirp(int frames = 3 * kRate, int channels = 2, int rate = kRate) {
  return MakeSignal(frames, channels, [rate](int i, int c) {
    const double t = static_cast<double>(i) / rate;
    const float v = static_cast<float>(0.5 * std::sin(2 * kPi * (200 * t + 400 * t * t)));
    return c == 0 ? v : v * 0.5f;
  });
}

void WriteAll(TAudioFile2& writer, const std::vector<float>& signal, int channels, int chunkFrames = 4410) {
  for (std::size_t at = 0; at < signal.size(); at += static_cast<std::size_t>(chunkFrames) * channels) {
    const std::size_t end = std::min(signal.size(), at + static_cast<std::size_t>(chunkFrames) * channels);
    writer.WriteSamples(SampleBuffer(signal.begin() + static_cast<std::ptrdiff_t>(at),
                                     signal.begin() + static_cast<std::ptrdiff_t>(end)));
  }
}

std::vector<float> Channel(const std::vector<float>& s, int channels, int c) {
  std::vector<float> out;
  for (std::size_t i = static_cast<std::size_t>(c); i < s.size(); i += static_cast<std::size_t>(channels)) out.push_back(s[i]);
  return out;
}

// Best correlation of b against a when b is shifted by up to maxLag frames.
double AlignedCorrelation(const std::vector<float>& a, const std::vector<float>& b, int maxLag) {
  double best = -1;
  for (int lag = -maxLag; lag <= maxLag; lag += 1) {
    std::vector<float> x, y;
    for (std::size_t i = 0; i < a.size(); ++i) {
      const long j = static_cast<long>(i) + lag;
      if (j < 0 || j >= static_cast<long>(b.size())) continue;
      x.push_back(a[i]);
      y.push_back(b[static_cast<std::size_t>(j)]);
    }
    best = std::max(best, Correlation(x, y));
    if (maxLag > 64) lag += 15;  // coarse for long searches
  }
  return best;
}

struct RoundTrip {
  const char* name;
  const char* ext;
  const char* codec;
  bool exactLength;
};

class WriterRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

// Each output type, written from a known signal and decoded independently:
// the frame count is exact where the container records it, the content
// correlates channel by channel.
TEST_P(WriterRoundTrip, DecodesToWhatWasWritten) {
  TempDir dir;
  const QString path = dir.file(QString("out") + GetParam().ext);
  TAudioFile2LameEnc mp3;
  TAudioFile2 writer;
  writer.SetMp3Encoder(&mp3);
  writer.SetWavFormat(kRate, 2, 16);
  writer.SetOggFormat(kRate, 2, 128, 128, 128, -1);
  writer.SetWmaProfile(10);
  writer.SetPcmFormat(kRate, 2);
  writer.CreateOutputFile(path.toStdString(), 0);
  EXPECT_TRUE(writer.IsOpen());
  const std::vector<float> signal = Chirp();
  WriteAll(writer, signal, 2);
  writer.CloseFile();
  EXPECT_FALSE(writer.IsOpen());

  const ProbeInfo info = FfprobeInfo(path);
  EXPECT_EQ(info.codec, GetParam().codec);
  EXPECT_EQ(info.sampleRate, kRate);
  EXPECT_EQ(info.channels, 2);
  const std::vector<float> decoded = DecodeWithFfmpeg(path);
  if (GetParam().exactLength) {
    EXPECT_EQ(decoded.size(), signal.size());
  } else {
    // WMA pads its last frame (2048 frames per frame) and is never short.
    EXPECT_GE(decoded.size(), signal.size());
    EXPECT_LE(decoded.size(), signal.size() + 2047 * 2);
  }
  for (int c = 0; c < 2; ++c) {
    const double r = AlignedCorrelation(Channel(signal, 2, c), Channel(decoded, 2, c), GetParam().exactLength ? 0 : 4096);
    EXPECT_GT(r, 0.95) << "channel " << c;
  }
  // Our own reader agrees with the command line.
  TAudioFile2 reader;
  reader.OpenFile(path.toStdString());
  EXPECT_EQ(static_cast<std::size_t>(reader.LengthSamples()) * 2, decoded.size());
}

INSTANTIATE_TEST_SUITE_P(AllOutputTypes, WriterRoundTrip,
                         ::testing::Values(RoundTrip{"Wav", ".wav", "pcm_s16le", true},
                                           RoundTrip{"Mp3", ".mp3", "mp3", true},
                                           RoundTrip{"Ogg", ".ogg", "vorbis", true},
                                           RoundTrip{"Wma", ".wma", "wmav2", false},
                                           RoundTrip{"UpperCaseMp3", ".MP3", "mp3", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Writer, WavHeaderSaysWhatWasSetAndDataIsResampledAndDownmixed) {
  TempDir dir;
  const QString path = dir.file("small.wav");
  TAudioFile2 writer;
  writer.SetWavFormat(11025, 1, 8);
  writer.SetPcmFormat(kRate, 2);
  writer.CreateOutputFile(path.toStdString());
  // L = sine, R = sine at half level: the mono mix is 0.75 x sine.
  const std::vector<float> signal = MakeSignal(kRate, 2, [](int i, int c) {
    const float v = static_cast<float>(0.8 * std::sin(2 * kPi * 300 * i / kRate));
    return c == 0 ? v : v * 0.5f;
  });
  WriteAll(writer, signal, 2);
  writer.CloseFile();
  const ProbeInfo info = FfprobeInfo(path);
  EXPECT_EQ(info.codec, "pcm_u8");
  EXPECT_EQ(info.sampleRate, 11025);
  EXPECT_EQ(info.channels, 1);
  const std::vector<float> decoded = DecodeWithFfmpeg(path);
  EXPECT_NEAR(static_cast<double>(decoded.size()), 11025.0, 2.0);
  // Peak of the mix: 0.75 x 0.8 = 0.6 (8-bit steps are 1/128).
  float peak = 0;
  for (std::size_t i = 100; i + 100 < decoded.size(); ++i) peak = std::max(peak, std::fabs(decoded[i]));
  EXPECT_NEAR(peak, 0.6, 0.02);
}

TEST(Writer, MonoInputIsCopiedToBothOutputChannels) {
  TempDir dir;
  const QString path = dir.file("up.wav");
  TAudioFile2 writer;
  writer.SetWavFormat(kRate, 2, 16);
  writer.SetPcmFormat(kRate, 1);
  writer.CreateOutputFile(path.toStdString());
  const std::vector<float> mono = Chirp(kRate, 1);
  WriteAll(writer, mono, 1);
  writer.CloseFile();
  const std::vector<float> decoded = DecodeWithFfmpeg(path);
  ASSERT_EQ(decoded.size(), mono.size() * 2);
  for (std::size_t i = 0; i < mono.size(); i += 97) {
    EXPECT_NEAR(decoded[2 * i], mono[i], 1.0 / 32768 + 1e-6);
    EXPECT_EQ(decoded[2 * i], decoded[2 * i + 1]);
  }
}

// Without any WAV format call the file keeps the data's own format.
TEST(Writer, WavWithoutFormatKeepsIncomingFormat) {
  TempDir dir;
  TAudioFile2 writer;
  writer.SetPcmFormat(22050, 1);
  writer.CreateOutputFile(dir.fileStd("own.wav"));
  WriteAll(writer, Chirp(22050, 1, 22050), 1);
  writer.CloseFile();
  const ProbeInfo info = FfprobeInfo(dir.file("own.wav"));
  EXPECT_EQ(info.sampleRate, 22050);
  EXPECT_EQ(info.channels, 1);
  EXPECT_EQ(DecodeWithFfmpeg(dir.file("own.wav")).size(), 22050u);
}

QString WriteMp3(const TempDir& dir, const QString& name, TAudioFile2LameEnc& enc) {
  TAudioFile2 writer;
  writer.SetMp3Encoder(&enc);
  writer.SetPcmFormat(kRate, 2);
  writer.CreateOutputFile(dir.fileStd(name));
  WriteAll(writer, Chirp(), 2);
  writer.CloseFile();
  return dir.file(name);
}

TEST(Writer, Mp3QualityReachesTheEncoder) {
  TempDir dir;
  TAudioFile2LameEnc enc;
  enc.SetQuality(0);
  const QString best = WriteMp3(dir, "q0.mp3", enc);
  enc.SetQuality(9);
  const QString fast = WriteMp3(dir, "q9.mp3", enc);
  QFile a(best), b(fast);
  ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
  EXPECT_NE(a.readAll(), b.readAll());
}

TEST(Writer, Mp3VbrModeGivesVaryingFrameBitRatesAndCbrConstant) {
  TempDir dir;
  TAudioFile2LameEnc enc;
  enc.SetBitRate(128);
  enc.SetVbrMode(-1);
  std::set<int> cbrRates;
  for (const Mp3Frame& f : Mp3FramesOf(WriteMp3(dir, "cbr.mp3", enc))) cbrRates.insert(f.kbps);
  EXPECT_EQ(cbrRates, std::set<int>{128});
  enc.SetVbrMode(0);
  enc.SetVbrQuality(2);
  enc.SetVbrBitRate(192);
  std::set<int> vbrRates;
  const auto frames = Mp3FramesOf(WriteMp3(dir, "vbr.mp3", enc));
  EXPECT_GT(frames.size(), 100u);
  for (const Mp3Frame& f : frames) vbrRates.insert(f.kbps);
  EXPECT_GE(vbrRates.size(), 3u);
  EXPECT_EQ(DecodeWithFfmpeg(dir.file("vbr.mp3")).size(), Chirp().size());
}

TEST(Writer, Mp3SampleRateAndChannelsOfTheEncoderAreWritten) {
  TempDir dir;
  TAudioFile2LameEnc enc;
  enc.SetSampleRate(22050);
  enc.SetChannels(1);
  enc.SetBitRate(64);
  const QString path = WriteMp3(dir, "small.mp3", enc);
  const auto frames = Mp3FramesOf(path);
  ASSERT_FALSE(frames.empty());
  EXPECT_EQ(frames.back().sampleRate, 22050);
  EXPECT_EQ(frames.back().channels, 1);
  EXPECT_EQ(frames.back().kbps, 64);
  EXPECT_NEAR(static_cast<double>(DecodeWithFfmpeg(path).size()), 3 * 22050.0, 2.0);
}

qint64 WriteOgg(const TempDir& dir, const QString& name, int nominal, int max, int min, int quality) {
  TAudioFile2 writer;
  writer.SetOggFormat(kRate, 2, nominal, max, min, quality);
  writer.SetPcmFormat(kRate, 2);
  writer.CreateOutputFile(dir.fileStd(name));
  // Noise makes the bit rate follow the settings.
  unsigned seed = 1;
  WriteAll(writer, MakeSignal(3 * kRate, 2, [&seed](int, int) {
             seed = seed * 1664525u + 1013904223u;
             return static_cast<float>((seed >> 8) / 16777216.0 - 0.5) * 0.5f;
           }), 2);
  writer.CloseFile();
  return QFileInfo(dir.file(name)).size();
}

TEST(Writer, OggQualityAndBitRateModesReachTheEncoder) {
  TempDir dir;
  const qint64 managed64 = WriteOgg(dir, "m64.ogg", 64, 64, 64, -1);
  const qint64 managed192 = WriteOgg(dir, "m192.ogg", 192, 192, 192, -1);
  const qint64 best = WriteOgg(dir, "q0.ogg", 64, 64, 64, 0);
  const qint64 worst = WriteOgg(dir, "q1000.ogg", 64, 64, 64, 1000);
  // 3 s at 64 kbit/s is about 24 kB.
  EXPECT_NEAR(managed64, 24000, 6000);
  EXPECT_GT(managed192, managed64 * 2);
  EXPECT_GT(best, managed64 * 3);  // quality mode ignores the bit rates
  EXPECT_LT(worst, best / 3);
}

TEST(Writer, ParametersPersistFromFileToFile) {
  TempDir dir;
  TAudioFile2 writer;
  writer.SetOggFormat(22050, 1, 64, 64, 64, -1);
  writer.SetWavFormat(8000, 1, 16);
  for (const char* name : {"a.ogg", "b.wav", "c.ogg", "d.wav"}) {
    writer.SetPcmFormat(kRate, 2);
    writer.CreateOutputFile(dir.fileStd(name));
    WriteAll(writer, Chirp(kRate / 2), 2);
    writer.CloseFile();
  }
  for (const char* name : {"a.ogg", "c.ogg"}) {
    const ProbeInfo info = FfprobeInfo(dir.file(name));
    EXPECT_EQ(info.sampleRate, 22050) << name;
    EXPECT_EQ(info.channels, 1) << name;
  }
  for (const char* name : {"b.wav", "d.wav"}) EXPECT_EQ(FfprobeInfo(dir.file(name)).sampleRate, 8000) << name;
}

// An aborted job closes early: the file holds exactly what was written and
// is complete, also when the writer is destroyed without CloseFile.
TEST(Writer, EarlyCloseLeavesACompleteFile) {
  TempDir dir;
  TAudioFile2LameEnc enc;
  {
    TAudioFile2 writer;
    writer.SetMp3Encoder(&enc);
    writer.SetPcmFormat(kRate, 2);
    writer.CreateOutputFile(dir.fileStd("early.mp3"));
    WriteAll(writer, Chirp(kRate + 123), 2);
    writer.CloseFile();
  }
  EXPECT_EQ(DecodeWithFfmpeg(dir.file("early.mp3")).size(), static_cast<std::size_t>(kRate + 123) * 2);
  {
    TAudioFile2 writer;
    writer.SetOggFormat(kRate, 2, 128, 128, 128, -1);
    writer.SetPcmFormat(kRate, 2);
    writer.CreateOutputFile(dir.fileStd("dropped.ogg"));
    WriteAll(writer, Chirp(kRate), 2);
  }
  EXPECT_EQ(DecodeWithFfmpeg(dir.file("dropped.ogg")).size(), static_cast<std::size_t>(kRate) * 2);
  // Short OGG files keep their exact length too (one Ogg page would not).
  for (int frames : {1000, 22050, 57330}) {
    TAudioFile2 ogg;
    ogg.SetOggFormat(kRate, 2, 128, 128, 128, -1);
    ogg.SetPcmFormat(kRate, 2);
    ogg.CreateOutputFile(dir.fileStd("short.ogg"));
    WriteAll(ogg, Chirp(frames), 2);
    ogg.CloseFile();
    EXPECT_EQ(DecodeWithFfmpeg(dir.file("short.ogg")).size(), static_cast<std::size_t>(frames) * 2) << frames;
  }
  // Nothing written at all: still a valid, empty file.
  TAudioFile2 writer;
  writer.SetWavFormat(kRate, 2, 16);
  writer.CreateOutputFile(dir.fileStd("empty.wav"));
  writer.CloseFile();
  EXPECT_EQ(FfprobeInfo(dir.file("empty.wav")).codec, "pcm_s16le");
}

TEST(Writer, RefusesWhatItCannotWrite) {
  TempDir dir;
  TAudioFile2 writer;
  EXPECT_THROW(writer.CreateOutputFile(dir.fileStd("x.aiff")), Error);
  EXPECT_THROW(writer.WriteSamples(SampleBuffer(4, 0.f)), Error);
  // A folder where the file should be, and a file where a folder should be.
  QDir(dir.path()).mkdir("taken.wav");
  EXPECT_THROW(writer.CreateOutputFile(dir.fileStd("taken.wav")), Error);
  QFile plain(dir.file("plain"));
  ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
  plain.close();
  try {
    writer.CreateOutputFile(dir.fileStd("plain/out.wav"));
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("plain/out.wav"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(writer.IsOpen());
  // A buffer with a partial frame is refused, the file stays usable.
  writer.SetPcmFormat(kRate, 2);
  writer.CreateOutputFile(dir.fileStd("ok.wav"));
  EXPECT_THROW(writer.WriteSamples(SampleBuffer(3, 0.f)), Error);
  writer.WriteSamples(SampleBuffer(4, 0.f));
  writer.CloseFile();
  EXPECT_EQ(DecodeWithFfmpeg(dir.file("ok.wav")).size(), 4u);
  // MP3 combinations LAME would change are refused, not silently altered.
  TAudioFile2LameEnc enc;
  enc.SetSampleRate(48000);
  enc.SetBitRate(8);
  writer.SetMp3Encoder(&enc);
  EXPECT_THROW(writer.CreateOutputFile(dir.fileStd("bad.mp3")), Error);
  EXPECT_FALSE(QFileInfo::exists(dir.file("bad.mp3")));
}

// Every WMA profile the encoder can produce is written as listed (rate,
// channels); the others fail at creation with a message naming the profile.
TEST(Writer, WmaProfiles) {
  TempDir dir;
  TAudioFile2 writer;
  int written = 0;
  for (int profile = 1; profile <= 47; ++profile) {
    SCOPED_TRACE("profile " + std::to_string(profile));
    writer.SetWmaProfile(profile);
    writer.SetPcmFormat(kRate, 2);
    const std::string path = dir.fileStd(QString("p%1.wma").arg(profile));
    const audio::WmaProfile& listed = audio::WmaProfileByNumber(profile);
    try {
      writer.CreateOutputFile(path);
      WriteAll(writer, Chirp(kRate / 4), 2);
      writer.CloseFile();
      ++written;
      const ProbeInfo info = FfprobeInfo(QString::fromStdString(path));
      EXPECT_EQ(info.codec, "wmav2");
      EXPECT_EQ(info.sampleRate, listed.sampleRate);
      EXPECT_EQ(info.channels, listed.channels);
      EXPECT_GE(listed.kbps, 24);
      EXPECT_GT(DecodeWithFfmpeg(QString::fromStdString(path)).size(), 0u);
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find("profile " + std::to_string(profile)), std::string::npos) << e.what();
      EXPECT_FALSE(writer.IsOpen());
    }
  }
  // 1-17 and 19, 20, 21, 23: the constant bit rates of 24 kbit/s and more.
  EXPECT_EQ(written, 21);
  EXPECT_EQ(audio::WmaProfileByNumber(13).sampleRate, 44100);
  EXPECT_EQ(audio::WmaProfileByNumber(13).kbps, 64);
  EXPECT_EQ(audio::WmaProfileByNumber(16).channels, 1);
  EXPECT_EQ(audio::WmaProfileByNumber(19).sampleRate, 32000);
  EXPECT_EQ(audio::WmaProfileByNumber(26).sampleRate, 22050);
  EXPECT_EQ(audio::WmaProfileByNumber(33).sampleRate, 11025);
  writer.SetWmaProfile(48);
  EXPECT_THROW(writer.CreateOutputFile(dir.fileStd("p48.wma")), Error);
}

// Bits per second of an Ogg file's audio pages (granule position > 0): the
// stream's bit rate without the Vorbis header pages, which at low rates
// would weigh as much as seconds of audio.
double OggAudioKbps(const QString& path, int rate) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return 0;
  const QByteArray d = f.readAll();
  const auto* b = reinterpret_cast<const unsigned char*>(d.constData());
  qint64 bytes = 0, lastGranule = 0, at = 0;
  while (at + 27 <= d.size() && d.mid(at, 4) == "OggS") {
    qint64 granule = 0;
    for (int i = 7; i >= 0; --i) granule = granule << 8 | b[at + 6 + i];
    const int segments = b[at + 26];
    qint64 size = 27 + segments;
    for (int i = 0; i < segments; ++i) size += b[at + 27 + i];
    if (granule > 0) {
      bytes += size;
      lastGranule = granule;
    }
    at += size;
  }
  return lastGranule > 0 ? bytes * 8.0 * rate / static_cast<double>(lastGranule) / 1000.0 : 0;
}

// The nominal bit rate is what an OGG file gets, also when the bounds the
// jobs pass (128 either side) do not bracket it.
TEST(Writer, OggNominalBitRateIsTheAverage) {
  TempDir dir;
  struct Case { int rate, channels, nominal; };
  for (const Case k : {Case{44100, 2, 64}, Case{8000, 1, 8}, Case{48000, 2, 192}}) {
    SCOPED_TRACE(std::to_string(k.rate) + " Hz, " + std::to_string(k.channels) + " ch, " + std::to_string(k.nominal));
    TAudioFile2 writer;
    writer.SetOggFormat(k.rate, k.channels, k.nominal, 128, 128, -1);
    writer.SetPcmFormat(k.rate, k.channels);
    writer.CreateOutputFile(dir.fileStd("nominal.ogg"));
    writer.WriteSamples(Chords(6 * k.rate, k.rate, k.channels));
    writer.CloseFile();
    EXPECT_NEAR(OggAudioKbps(dir.file("nominal.ogg"), k.rate), k.nominal, 0.15 * k.nominal);
  }
}

// More channels than a stereo layout knows: a 10-channel WAV (a tone on the
// front left only) is mixed by libswresample's layout matrix into stereo WAV
// and MP3, the tone on the left; "best suited" WAV keeps all ten.
TEST(Writer, AnyChannelCountIsMixedToTheOutput) {
  TempDir dir;
  const QString source = dir.file("ten.wav");
  const CommandResult made = RunCommand("sox", {"-n", "-r", "44100", "-b", "16", "-c", "10", source, "synth", "1",
                                                "sine", "440", "remix", "1", "0", "0", "0", "0", "0", "0", "0", "0", "0"});
  ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
  TAudioFile2 reader;
  reader.OpenFile(source.toStdString());
  ASSERT_EQ(reader.Channels(), 10);
  const std::vector<float> all = ReadToEnd(reader);
  TAudioFile2LameEnc mp3;
  for (const char* name : {"cd.wav", "out.mp3", "own.wav"}) {
    SCOPED_TRACE(name);
    TAudioFile2 writer;
    writer.SetMp3Encoder(&mp3);
    if (std::string(name) == "cd.wav") writer.SetWavFormat(44100, 2, 16);
    writer.SetPcmFormat(44100, 10);
    writer.CreateOutputFile(dir.fileStd(name));
    WriteAll(writer, all, 10);
    writer.CloseFile();
    const int channels = std::string(name) == "own.wav" ? 10 : 2;
    EXPECT_EQ(FfprobeInfo(dir.file(name)).channels, channels);
    const std::vector<float> decoded = DecodeWithFfmpeg(dir.file(name));
    ASSERT_EQ(decoded.size(), 44100u * channels);
    const std::vector<float> left = Channel(decoded, channels, 0), right = Channel(decoded, channels, 1);
    EXPECT_GT(Correlation(Channel(all, 10, 0), left), 0.99);
    float rightPeak = 0;
    for (float v : right) rightPeak = std::max(rightPeak, std::fabs(v));
    EXPECT_LT(rightPeak, 0.01);
  }
}

// A resampled stream is n x out / in frames rounded to the nearest, whether
// the writer converts (a cut) or the reader does (a join): 44107 frames at
// 48 kHz are 40523.3 at 44.1 kHz, so 40523 (not 40524).
TEST(Writer, ResampledLengthIsRoundedToNearestInWriterAndReader) {
  TempDir dir;
  for (const int n : {44107, 1001, 3}) {
    SCOPED_TRACE(n);
    const QString source = dir.file(QString("src%1.wav").arg(n));
    ASSERT_EQ(RunCommand("sox", {"-n", "-r", "48000", "-b", "16", "-c", "2", source, "synth",
                                 QString("%1s").arg(n), "sine", "300"}).exitCode, 0);
    const std::size_t expected = static_cast<std::size_t>((static_cast<std::int64_t>(n) * 44100 + 24000) / 48000);
    TAudioFile2 reader;
    reader.OpenFile(source.toStdString());
    TAudioFile2 writer;
    writer.SetWavFormat(44100, 2, 16);
    writer.SetPcmFormat(48000, 2);
    writer.CreateOutputFile(dir.fileStd("cut.wav"));
    WriteAll(writer, ReadToEnd(reader), 2);
    writer.CloseFile();
    EXPECT_EQ(DecodeWithFfmpeg(dir.file("cut.wav")).size(), expected * 2);

    reader.OpenFile(source.toStdString());
    reader.SetPcmFormat(44100, 2);
    EXPECT_EQ(ReadToEnd(reader).size(), expected * 2);
  }
}

// OGG output decodes (oggdec, which follows the granule positions) to exactly
// the frames written, short single-page files included.
TEST(Writer, OggLengthIsExactForOddLengths) {
  TempDir dir;
  for (const int channels : {1, 2}) {
    for (const int frames : {1, 47, 577, 1153, 4097, 115201}) {
      SCOPED_TRACE(std::to_string(channels) + " ch, " + std::to_string(frames) + " frames");
      TAudioFile2 writer;
      writer.SetOggFormat(22050, channels, 64, 128, 128, -1);
      writer.SetPcmFormat(22050, channels);
      writer.CreateOutputFile(dir.fileStd("odd.ogg"));
      writer.WriteSamples(Chirp(frames, channels, 22050));
      writer.CloseFile();
      const CommandResult r = RunCommand("oggdec", {"-Q", "-R", "-o", "-", dir.file("odd.ogg")});
      ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
      EXPECT_EQ(r.out.size(), static_cast<qsizetype>(frames) * channels * 2);
    }
  }
}

// The WMA decoder drops the first encoded frame: the writer's pre-roll makes
// that frame silence, so a click lands where it was written and the file is
// never shorter than what was written (at most one frame of padding longer).
TEST(Writer, WmaAudioStartsWhereWritten) {
  TempDir dir;
  for (const int profile : {1, 10, 16, 19}) {
    const audio::WmaProfile& p = audio::WmaProfileByNumber(profile);
    SCOPED_TRACE("profile " + std::to_string(profile));
    TAudioFile2 writer;
    writer.SetWmaProfile(profile);
    writer.SetPcmFormat(p.sampleRate, p.channels);
    const std::string path = dir.fileStd(QString("click%1.wma").arg(profile));
    writer.CreateOutputFile(path);
    constexpr int kFrames = 100000, kClick = 5000;
    std::vector<float> signal(static_cast<std::size_t>(kFrames) * p.channels, 0.f);
    for (int c = 0; c < p.channels; ++c) signal[static_cast<std::size_t>(kClick) * p.channels + c] = 0.9f;
    WriteAll(writer, signal, p.channels);
    writer.CloseFile();
    const std::vector<float> decoded = DecodeWithFfmpeg(QString::fromStdString(path));
    const std::size_t frames = decoded.size() / static_cast<std::size_t>(p.channels);
    EXPECT_GE(frames, static_cast<std::size_t>(kFrames));
    EXPECT_LE(frames, static_cast<std::size_t>(kFrames + 2047));
    std::size_t loudest = 0;
    for (std::size_t i = 0; i < decoded.size(); ++i) {
      if (std::fabs(decoded[i]) > std::fabs(decoded[loudest])) loudest = i;
    }
    EXPECT_NEAR(static_cast<double>(loudest / static_cast<std::size_t>(p.channels)), kClick, 2.0);
  }
}

}  // namespace
}  // namespace snipwave::test
