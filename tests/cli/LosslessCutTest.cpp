// MP3 cuts and joins that keep the source's frames, run as the user runs
// them. Lengths come from mpg123 --gapless, samples from ffmpeg's decoder
// (which, unlike mpg123's, rounds the same frames the same way wherever they
// sit), and the re-encoding cut of the same range is the yardstick for the
// re-encoded edges.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <iostream>
#include <random>

#include "Commands.h"
#include "TempDir.h"
#include "components/mp3copy/Mp3Frames.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

namespace snipwave::test {
namespace {

const QString kProgram = QStringLiteral(SNIPWAVE_RUNTIME_DIR "/snipwave");

// An MP3 made by the lame command-line encoder from `wav`, once per build tree.
QString LameFixture(const QString& name, const QString& wav, const QStringList& args) {
  const QString path = QDir(SNIPWAVE_FIXTURE_DIR).filePath(name);
  if (QFileInfo::exists(path)) return path;
  const QString temp = QString("%1.%2.part").arg(path).arg(QCoreApplication::applicationPid());
  const CommandResult r = RunCommand("lame", QStringList{"--quiet"} + args + QStringList{wav, temp});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  PublishFile(temp, path);
  return path;
}

QString Wav44() { return ChirpFixture("lossless-src.wav", 8.0, 44100, 2); }
QString Wav22() { return ChirpFixture("lossless-src22.wav", 6.0, 22050, 1); }
QString LameCbr() { return LameFixture("lossless-cbr.mp3", Wav44(), {"-b", "128"}); }
QString LameVbr() { return LameFixture("lossless-vbr.mp3", Wav44(), {"-V2"}); }
QString LameCrc() { return LameFixture("lossless-crc.mp3", Wav44(), {"-p", "-b", "128"}); }
QString LameNoTag() { return LameFixture("lossless-notag.mp3", Wav44(), {"-t", "-b", "128"}); }
QString LameMono22() { return LameFixture("lossless-mono22.mp3", Wav22(), {"-V4"}); }
// Twenty seconds of dense sound: two rising sawtooth waves, whose harmonics
// leave LAME little to mask, so that -V0 frames run at 320 kbit/s and lean
// on the bit reservoir as far as it reaches.
QString DenseWav() {
  const QString path = QDir(SNIPWAVE_FIXTURE_DIR).filePath("lossless-dense.wav");
  if (QFileInfo::exists(path)) return path;
  const QString temp = QString("%1.%2.wav").arg(path).arg(QCoreApplication::applicationPid());
  const CommandResult r = RunCommand("sox", {"-R", "-n", "-r", "44100", "-c", "2", "-b", "16", temp, "synth", "20",
                                             "sawtooth", "1000:3000", "sawtooth", "1500:5000", "gain", "-6"});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  PublishFile(temp, path);
  return path;
}
QString FfmpegCbr() { return ChirpFixture("lossless-ff.mp3", 8.0, 44100, 2, {"-c:a", "libmp3lame", "-b:a", "160k"}); }

// 16-bit samples as mpg123 --gapless decodes them; a complaint of the
// decoder (a frame whose bit reservoir bytes are missing) fails the test.
std::vector<std::int16_t> GaplessDecode(const QString& path) {
  const CommandResult r = RunCommand("mpg123", {"--gapless", "-s", path});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_FALSE(r.err.contains("rror") || r.err.contains("rewind") || r.err.contains("arning")) << r.err.toStdString();
  std::vector<std::int16_t> samples(std::size_t(r.out.size()) / 2);
  std::memcpy(samples.data(), r.out.constData(), samples.size() * 2);
  return samples;
}

std::int64_t GaplessFrames(const QString& path, int channels) {
  const CommandResult r = RunCommand("mpg123", {"--gapless", "-q", "-s", path});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  return r.out.size() / (2 * channels);
}

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QSet<QByteArray> FramesOf(const QByteArray& file) {
  const mp3copy::Mp3Stream stream =
      mp3copy::ReadMp3Stream(reinterpret_cast<const std::uint8_t*>(file.constData()), std::size_t(file.size()), "");
  QSet<QByteArray> frames;
  for (const mp3copy::Mp3Frame& f : stream.frames) frames.insert(file.mid(f.offset, f.size));
  return frames;
}

// Share of the source frames whose decoded samples lie inside [begin, end)
// that the output holds byte for byte; -1 when there are none.
double CopiedShare(const QString& source, const QString& output, std::int64_t begin, std::int64_t end) {
  const QByteArray bytes = ReadAll(source);
  const mp3copy::Mp3Stream stream =
      mp3copy::ReadMp3Stream(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size()), "");
  const QSet<QByteArray> written = FramesOf(ReadAll(output));
  int inside = 0, copied = 0;
  for (std::size_t k = 0; k < stream.frames.size(); ++k) {
    const std::int64_t first = std::int64_t(k) * stream.samplesPerFrame - stream.frontSkip;
    if (first < begin || first + stream.samplesPerFrame > end) continue;
    ++inside;
    copied += written.contains(bytes.mid(stream.frames[k].offset, stream.frames[k].size));
  }
  return inside == 0 ? -1.0 : double(copied) / inside;
}

float MaxError(const std::vector<float>& a, const std::vector<float>& b, std::size_t from, std::size_t to) {
  float worst = 0;
  for (std::size_t i = from; i < std::min({to, a.size(), b.size()}); ++i) worst = std::max(worst, std::abs(a[i] - b[i]));
  return worst;
}

float MaxJump(const std::vector<float>& x, std::size_t from, std::size_t to, int channels) {
  float worst = 0;
  for (std::size_t i = from; i + std::size_t(channels) < std::min(to, x.size()); ++i)
    worst = std::max(worst, std::abs(x[i + std::size_t(channels)] - x[i]));
  return worst;
}

// The integrated loudness of frames [begin, end) of `path`, as ffmpeg's ebur128 filter measures it.
double Lufs(const QString& path, std::int64_t begin, std::int64_t end) {
  const CommandResult r = RunCommand(
      "ffmpeg", {"-hide_banner", "-nostats", "-i", path, "-af",
                 QString("atrim=start_sample=%1:end_sample=%2,ebur128").arg(begin).arg(end), "-f", "null", "-"});
  const QString text = QString::fromUtf8(r.err);
  return QRegularExpression(R"(I:\s+(-?[0-9.]+) LUFS)").match(text, text.lastIndexOf("Summary:")).captured(1).toDouble();
}

double Rms(const std::vector<float>& x, std::size_t from, std::size_t to) {
  double sum = 0;
  for (std::size_t i = from; i < to; ++i) sum += double(x[i]) * x[i];
  return std::sqrt(sum / double(to - from));
}

class LosslessCut : public ::testing::Test {
 protected:
  LosslessCut() {
    qputenv("SNIPWAVE_CONFIG_DIR", dir.file("config").toUtf8());
    QDir().mkdir(dir.file("config"));
  }
  // The output format of the settings file: the source's own rate and
  // channels, and for a re-encode its bit rate (index) or VBR quality.
  void OutputFormat(int frequencyIndex, int channels, int bitrateIndex = 11, int vbrQuality = -1) {
    SettingsStore settings(dir.file("config/Snipwave.ini"));
    settings.WriteInteger(settings::section::kMp3, settings::key::kFrequency, frequencyIndex);
    settings.WriteInteger(settings::section::kMp3, settings::key::kChannel, channels - 1);
    settings.WriteInteger(settings::section::kMp3, settings::key::kBitrate, bitrateIndex);
    settings.WriteInteger(settings::section::kMp3, settings::key::kEnableVbr, vbrQuality >= 0 ? 1 : 0);
    settings.WriteInteger(settings::section::kMp3, settings::key::kVbrQuality, std::max(0, vbrQuality));
    settings.WriteInteger(settings::section::kMp3, settings::key::kVbrBitrate, 16);
  }
  // Cuts into a fresh folder; returns the output's path.
  QString Cut(const QStringList& options, const QString& source, CommandResult* result = nullptr) {
    const QString out = dir.file(QString("out%1").arg(++cuts));
    QDir().mkdir(out);
    const CommandResult r = RunCommand(kProgram, QStringList{"cut"} + options + QStringList{"--out", out, source});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    if (result) *result = r;
    const QStringList written = QDir(out).entryList(QDir::Files);
    return written.isEmpty() ? QString() : QDir(out).filePath(written.first());
  }

  TempDir dir;
  int cuts = 0;
};

TEST_F(LosslessCut, DecodesToTheRangeExactlyCopyingTheFramesInsideAndMatchingARecodeAtTheEdges) {
  struct Case {
    const char* name;
    QString (*source)();
    std::int64_t begin, end;  // end -1: the file's length
    int frequencyIndex, channels;
    int bitrateIndex, vbrQuality;  // the re-encode to compare with: as the source was made
  };
  const Case cases[] = {
      {"lame CBR", LameCbr, 12345, 300001, 8, 2, 11, -1},
      {"lame VBR", LameVbr, 1000, 250000, 8, 2, 11, 2},
      {"ffmpeg CBR", FfmpegCbr, 777, 200000, 8, 2, 12, -1},
      {"lame 22.05 kHz mono VBR (MPEG-2)", LameMono22, 333, 120000, 5, 1, 11, 4},
      {"no LAME tag", LameNoTag, 4321, 150000, 8, 2, 11, -1},
      {"from the start", LameVbr, 0, 100000, 8, 2, 11, 2},
      {"to the end", LameCbr, 200000, -1, 8, 2, 11, -1},
      {"inside one frame", LameCbr, 5000, 5600, 8, 2, 11, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OutputFormat(c.frequencyIndex, c.channels, c.bitrateIndex, c.vbrQuality);
    const QString source = c.source();
    const std::vector<float> whole = DecodeWithFfmpeg(source);
    const std::int64_t end = c.end < 0 ? std::int64_t(whole.size()) / c.channels : c.end;
    const QString range = QString("%1@%2:%3").arg(source).arg(c.begin).arg(end);
    CommandResult run;
    const QString lossless = Cut({"--lossless"}, range, &run);
    // A range without a whole frame has nothing to keep: re-encoded, and said.
    EXPECT_EQ(run.err.contains("its range is shorter than an MP3 frame"), end - c.begin < 1152);
    const QString recoded = Cut({}, range);

    ASSERT_EQ(GaplessFrames(lossless, c.channels), end - c.begin);
    EXPECT_EQ(run.err.contains("has no LAME tag"), source == LameNoTag()) << run.err.toStdString();
    const auto ch = std::size_t(c.channels);
    const std::vector<float> expected(whole.begin() + std::ptrdiff_t(std::size_t(c.begin) * ch),
                                      whole.begin() + std::ptrdiff_t(std::size_t(end) * ch));
    const std::vector<float> got = DecodeWithFfmpeg(lossless), recode = DecodeWithFfmpeg(recoded);
    ASSERT_EQ(got.size(), expected.size());

    // Away from the edges (four frames), the very samples of the source.
    const std::size_t edge = 4 * 1152 * ch, n = expected.size();
    if (n > 2 * edge) EXPECT_EQ(MaxError(got, expected, edge, n - edge), 0.0f);
    const double share = CopiedShare(source, lossless, c.begin, end);
    if (share >= 0 && end - c.begin > 100000) EXPECT_GE(share, 0.9);
    // At the edges no worse than re-encoding: neither the error nor a click.
    const std::size_t head = std::min(edge, n), tail = n > edge ? n - edge : 0;
    EXPECT_LE(std::max(MaxError(got, expected, 0, head), MaxError(got, expected, tail, n)),
              MaxError(recode, expected, 0, n));
    const float jump = std::max(MaxJump(got, 0, head, c.channels), MaxJump(got, tail, n, c.channels));
    const float allowed = std::max({MaxJump(recode, 0, head, c.channels), MaxJump(recode, tail, n, c.channels),
                                    MaxJump(expected, 0, head, c.channels), MaxJump(expected, tail, n, c.channels)});
    EXPECT_LE(jump, allowed * 1.05f);
  }
}

// Fades with the frames kept: only the frames under a fade are re-encoded,
// from the faded sound; the frames between them are the source's own.
TEST_F(LosslessCut, FadesReencodeOnlyTheFramesTheyCover) {
  OutputFormat(8, 2);
  const QString source = LameCbr();
  const std::vector<float> whole = DecodeWithFfmpeg(source);
  const std::int64_t begin = 44100, end = 308700, fadeIn = 22050, fadeOut = 13230;  // 500 ms and 300 ms
  CommandResult run;
  const QString cut = Cut({"--lossless", "--fade-in", "500", "--fade-out", "300"},
                          QString("%1@%2:%3").arg(source).arg(begin).arg(end), &run);
  EXPECT_FALSE(run.err.contains("not kept")) << run.err.toStdString();
  ASSERT_EQ(GaplessFrames(cut, 2), end - begin);
  const std::vector<float> got = DecodeWithFfmpeg(cut);
  const std::vector<float> expected(whole.begin() + begin * 2, whole.begin() + end * 2);
  ASSERT_EQ(got.size(), expected.size());
  const std::size_t edge = 4 * 1152;
  EXPECT_EQ(MaxError(got, expected, (fadeIn + edge) * 2, (end - begin - fadeOut - edge) * 2), 0.0f);
  EXPECT_GE(CopiedShare(source, cut, begin, end), 0.75);
  // The first and last 10 ms lie where the linear fades are below 2 % and 4 %.
  const auto rms = Rms;
  const std::size_t n = got.size(), ten = 441 * 2;
  EXPECT_LT(rms(got, 0, ten), 0.05 * rms(expected, 0, ten));
  EXPECT_LT(rms(got, n - ten, n), 0.08 * rms(expected, n - ten, n));
}

// Normalising with the frames kept: a gain within 0.5 dB of whole 1.505 dB
// steps goes into the copied frames' global gain (their CRC made again) and
// the decode is the source's samples times 2^(steps/4); a gain between steps
// re-encodes the range and says why.
TEST_F(LosslessCut, NormaliseCarriesWholeStepsInTheGlobalGain) {
  const auto lufs = Lufs;
  struct Case {
    const char* name;
    QString (*source)();
    int frequencyIndex, channels;
    double offsetDb;  // target against the range's loudness: -4 steps, or half a step off
    bool carried;
  } cases[] = {{"CRC-protected frames, 4 steps down", LameCrc, 8, 2, -4 * 1.50515, true},
               {"MPEG-2 mono, 4 steps down", LameMono22, 5, 1, -4 * 1.50515, true},
               {"between two steps", LameCbr, 8, 2, -4 * 1.50515 - 0.75, false}};
  const std::int64_t begin = 3000, end = 120000;  // inside the 22.05 kHz source too
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OutputFormat(c.frequencyIndex, c.channels);
    const QString source = c.source();
    const double target = lufs(source, begin, end) + c.offsetDb;
    CommandResult run;
    const QString cut = Cut({"--lossless", "--loudness", QString::number(target, 'f', 2)},
                            QString("%1@%2:%3").arg(source).arg(begin).arg(end), &run);
    EXPECT_EQ(run.err.contains("-4 whole steps of the MP3 frames' global gain"), c.carried) << run.err.toStdString();
    EXPECT_EQ(run.err.contains("lies more than 0.5 dB from whole 1.505 dB steps"), !c.carried) << run.err.toStdString();
    ASSERT_EQ(GaplessFrames(cut, c.channels), end - begin);
    const CommandResult crc =
        RunCommand("ffmpeg", {"-v", "error", "-err_detect", "crccheck+explode", "-i", cut, "-f", "null", "-"});
    EXPECT_TRUE(crc.exitCode == 0 && crc.err.isEmpty()) << crc.err.toStdString();
    if (!c.carried) continue;
    // The source's samples times the gain: no re-encode comes this close.
    const std::vector<float> whole = DecodeWithFfmpeg(source), got = DecodeWithFfmpeg(cut);
    std::vector<float> expected(whole.begin() + begin * c.channels, whole.begin() + end * c.channels);
    for (float& v : expected) v = static_cast<float>(v * std::pow(2.0, -4 / 4.0));
    const std::size_t edge = 4 * 1152 * std::size_t(c.channels);
    EXPECT_LT(MaxError(got, expected, edge, expected.size() - edge), 1e-5f);
    EXPECT_NEAR(lufs(cut, 0, end - begin), target, 0.6);
  }
}

// Every LAME preset on dense sound, cut at random places: each cut keeps at
// least 90 % of the frames inside its range, mentions nothing re-encoded,
// decodes with mpg123 --gapless to exactly the range's length without a
// complaint, and (ffmpeg) to the very samples of the source wherever the
// output's frames are the source's. The re-encoded edges stay close to the
// source (mpg123: ffmpeg garbles the right channel of some MPEG-2 heads).
TEST_F(LosslessCut, EveryLamePresetKeepsItsFramesAndDecodesToTheRange) {
  struct Preset {
    QString name;
    QStringList args;
  };
  std::vector<Preset> presets;
  for (int v = 0; v <= 9; ++v) presets.push_back({QString("V%1").arg(v), {QString("-V%1").arg(v)}});
  for (int kbps : {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320})
    presets.push_back({QString("CBR%1").arg(kbps), {"-b", QString::number(kbps)}});
  for (int kbps : {96, 192}) presets.push_back({QString("ABR%1").arg(kbps), {"--abr", QString::number(kbps)}});

  std::mt19937 random(20261207);
  for (const Preset& preset : presets) {
    SCOPED_TRACE(preset.name.toStdString());
    const QString source = LameFixture("lossless-dense-" + preset.name + ".mp3", DenseWav(), preset.args);
    const QByteArray bytes = ReadAll(source);
    const mp3copy::Mp3Stream stream =
        mp3copy::ReadMp3Stream(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size()), "");
    const auto rate = std::find(settings::kSampleRates.begin(), settings::kSampleRates.end(), stream.sampleRate);
    ASSERT_NE(rate, settings::kSampleRates.end());
    OutputFormat(int(rate - settings::kSampleRates.begin()), stream.channels);
    const auto ch = std::size_t(stream.channels);
    const std::vector<std::int16_t> heard = GaplessDecode(source);
    const auto length = std::int64_t(heard.size() / ch);
    ASSERT_EQ(length, stream.length);
    const std::vector<float> whole = DecodeWithFfmpeg(source);
    ASSERT_EQ(whole.size(), std::size_t(length) * ch);
    QSet<QByteArray> sourceFrames;
    for (const mp3copy::Mp3Frame& f : stream.frames) sourceFrames.insert(bytes.mid(f.offset, f.size));

    double least = 1.0, sum = 0.0;
    const int cuts = 3;
    for (int i = 0; i < cuts; ++i) {
      const std::int64_t size = std::uniform_int_distribution<std::int64_t>(4 * stream.sampleRate, 7 * stream.sampleRate)(random);
      const std::int64_t begin = std::uniform_int_distribution<std::int64_t>(0, length - size)(random);
      const std::int64_t end = begin + size;
      SCOPED_TRACE(QString("%1:%2").arg(begin).arg(end).toStdString());
      CommandResult run;
      const QString output = Cut({"--lossless"}, QString("%1@%2:%3").arg(source).arg(begin).arg(end), &run);
      EXPECT_FALSE(run.err.contains("re-encoded")) << run.err.toStdString();
      const std::vector<std::int16_t> gotHeard = GaplessDecode(output);
      ASSERT_EQ(gotHeard.size(), std::size_t(size) * ch);
      const std::vector<float> got = DecodeWithFfmpeg(output);
      ASSERT_EQ(got.size(), std::size_t(size) * ch);

      const QByteArray written = ReadAll(output);
      const mp3copy::Mp3Stream out =
          mp3copy::ReadMp3Stream(reinterpret_cast<const std::uint8_t*>(written.constData()), std::size_t(written.size()), "");
      const std::int64_t n = out.samplesPerFrame;
      // A frame's samples pass through the decoder's overlap with the granule
      // before and its synthesis filter's memory of the one before that: one
      // frame back in MPEG-1 (two granules a frame), two in MPEG-2.
      const std::size_t back = n == 1152 ? 1 : 2;
      std::vector<bool> exact(std::size_t(size), false);
      for (std::size_t j = back; j < out.frames.size(); ++j) {
        bool copied = true;
        for (std::size_t k = j - back; k <= j; ++k)
          copied = copied && sourceFrames.contains(written.mid(out.frames[k].offset, out.frames[k].size));
        if (!copied) continue;
        for (std::int64_t s = std::max<std::int64_t>(0, std::int64_t(j) * n - out.frontSkip);
             s < std::min(size, std::int64_t(j + 1) * n - out.frontSkip); ++s)
          exact[std::size_t(s)] = true;
      }
      std::int64_t differing = 0, exactCount = 0;
      double edgeError = 0, edgeSignal = 0;
      for (std::int64_t s = 0; s < size; ++s) {
        for (std::size_t c = 0; c < ch; ++c) {
          const std::size_t in = std::size_t(begin + s) * ch + c, at = std::size_t(s) * ch + c;
          if (exact[std::size_t(s)]) {
            differing += whole[in] != got[at];
          } else {
            const double want = heard[in], have = gotHeard[at];
            edgeError += (want - have) * (want - have);
            edgeSignal += want * want;
          }
        }
        exactCount += exact[std::size_t(s)];
      }
      EXPECT_EQ(differing, 0);
      EXPECT_GE(double(exactCount), 0.85 * double(size));
      EXPECT_LT(edgeError, 0.25 * edgeSignal);  // some 6 dB of signal to error at the least
      const double share = CopiedShare(source, output, begin, end);
      EXPECT_GE(share, 0.9);
      least = std::min(least, share);
      sum += share;
    }
    std::cout << "[ lossless ] " << preset.name.toStdString() << ": frames kept " << 100.0 * sum / cuts
              << " % on average, " << 100.0 * least << " % at the least\n";
  }
}

TEST_F(LosslessCut, RowsCutAtOnceGiveTheBytesOfOneRowAtATime) {
  OutputFormat(8, 2);
  // Ranges off the frame grid; one inside a single frame and one of another
  // rate and channel count (both re-encoded, and said so).
  const QStringList rows = {LameCbr() + "@12345:300001", LameVbr() + "@1000:250000", LameNoTag() + "@4321:150000",
                            LameCbr() + "@5000:5600",    LameVbr() + "@777:",         LameMono22() + "@333:120000"};
  const auto run = [&](const QString& jobs) {
    const QString out = dir.file("jobs" + jobs);
    QDir().mkdir(out);
    const CommandResult r =
        RunCommand(kProgram, QStringList{"cut", "--lossless", "--jobs", jobs, "--out", out} + rows);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    QStringList seen{QString::fromUtf8(r.out).replace(out, "<out>"), QString::fromUtf8(r.err).replace(out, "<out>")};
    for (const QString& file : QDir(out).entryList(QDir::Files | QDir::Hidden, QDir::Name))
      seen << file + " " + QString::fromLatin1(ReadAll(QDir(out).filePath(file)).toBase64());
    return seen;
  };
  const QStringList serial = run("1");
  ASSERT_EQ(serial.size(), 2 + rows.size()) << serial.first().toStdString();
  EXPECT_TRUE(serial[1].contains("its range is shorter than an MP3 frame")) << serial[1].toStdString();
  EXPECT_TRUE(run("2") == serial) << "the same messages, names and bytes";
}

TEST_F(LosslessCut, JoinOfNeighbouringRangesIsTheSourceItselfAndOtherSourcesKeepTheirLength) {
  OutputFormat(8, 2);
  const QString out = dir.file("joined.mp3");
  CommandResult r = RunCommand(kProgram, {"join", "--lossless", "--out", out, LameCbr() + "@10000:150000",
                                          LameCbr() + "@150000:300000"});
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  ASSERT_EQ(GaplessFrames(out, 2), 290000);
  const std::vector<float> whole = DecodeWithFfmpeg(LameCbr()), got = DecodeWithFfmpeg(out);
  const std::vector<float> expected(whole.begin() + 20000, whole.begin() + 600000);
  EXPECT_EQ(MaxError(got, expected, 4 * 1152 * 2, expected.size() - 4 * 1152 * 2), 0.0f);

  const QString mixed = dir.file("mixed.mp3");
  r = RunCommand(kProgram, {"join", "--lossless", "--out", mixed, LameCbr() + "@1000:100000",
                            LameVbr() + "@5000:100000", FfmpegCbr() + "@0:50000"});
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_EQ(GaplessFrames(mixed, 2), 99000 + 95000 + 50000);
}

TEST_F(LosslessCut, TheSettingKeepsFramesAndSourcesThatCannotAreRecodedWithTheReason) {
  OutputFormat(8, 2);
  SettingsStore(dir.file("config/Snipwave.ini")).WriteBool(settings::section::kMp3, settings::key::kLossless, true);
  EXPECT_GE(CopiedShare(LameCbr(), Cut({}, LameCbr() + "@0:200000"), 0, 200000), 0.9);

  CommandResult r;
  const QString fromWav = Cut({"--lossless"}, Wav44() + "@0:44100", &r);
  EXPECT_EQ(GaplessFrames(fromWav, 2), 44100);
  EXPECT_TRUE(r.err.contains(Wav44().toUtf8() + " was re-encoded, its MP3 frames not kept: it is no MP3 file."))
      << r.err.toStdString();

  const QString fromMono = Cut({"--lossless"}, LameMono22() + "@0:22050", &r);
  EXPECT_EQ(GaplessFrames(fromMono, 2), 44100);  // resampled to the settings' 44100 Hz stereo
  EXPECT_TRUE(r.err.contains("the output is set to 44100 Hz, 2 channels and the source has 22050 Hz, mono"))
      << r.err.toStdString();

  // Square waves make LAME code every frame with short blocks, which cannot
  // meet re-encoded ones: the range is re-encoded, to its exact length, and said.
  const QString squareWav = dir.file("square.wav");
  ASSERT_EQ(RunCommand("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", squareWav, "synth", "4", "square", "110",
                               "square", "167", "gain", "-6"})
                .exitCode,
            0);
  const QString square = LameFixture("lossless-square.mp3", squareWav, {"-V0"});
  const QString fromSquare = Cut({"--lossless"}, square + "@10000:120000", &r);
  EXPECT_EQ(GaplessFrames(fromSquare, 2), 110000);
  EXPECT_TRUE(r.err.contains(square.toUtf8() + " was re-encoded from 0:00.2") &&
              r.err.contains("its MP3 frames not kept there: they open or close with short blocks"))
      << r.err.toStdString();
}

// A join keeping its frames under level choices: the joined file's fades
// re-encode only the frames they cover, a matched gain of whole 1.505 dB steps
// rides in the copied frames' global gain, and what a frame copy cannot carry
// (a crossfade, a gain between steps) re-encodes the join with the reason.
TEST_F(LosslessCut, JoinCarriesFadesAndWholeStepGainsInItsKeptFrames) {
  OutputFormat(8, 2);
  const QString source = LameCbr();
  const std::vector<float> whole = DecodeWithFfmpeg(source);
  // One range twice, both matched by the same gain; 122 MP3 frames long, so
  // that the second one's frames fall on the first one's grid.
  const std::int64_t begin = 10000, end = begin + 122 * 1152, n = 2 * (end - begin);
  const QString range = QString("%1@%2:%3").arg(source).arg(begin).arg(end);
  const QStringList ranges = {range, range};
  const double loudness = Lufs(source, begin, end);
  const auto join = [&](const QStringList& options, CommandResult& r) {
    const QString out = dir.file(QString("joined%1.mp3").arg(++cuts));
    r = RunCommand(kProgram, QStringList{"join", "--lossless", "--yes", "--out", out} + options + ranges);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    return out;
  };
  struct Case {
    const char* name;
    QStringList options;
    int steps;            // the gain carried by the kept frames
    const char* message;  // what stderr says
    bool kept;
  } cases[] = {
      {"fades", {"--fade-in", "500", "--fade-out", "300", "--edge-fade", "5"}, 0, "", true},
      {"4 steps down, with a fade-in",
       {"--fade-in", "500", "--loudness", QString::number(loudness - 4 * 1.50515, 'f', 2)},
       -4,
       "-4 whole steps of the MP3 frames' global gain, carried by the kept frames",
       true},
      {"between two steps",
       {"--loudness", QString::number(loudness - 4.5 * 1.50515, 'f', 2)},
       0,
       "lies more than 0.5 dB from whole 1.505 dB steps of the MP3 global gain",
       false},
      {"crossfade",
       {"--crossfade", "100"},
       0,
       "no MP3 frames kept: its crossfades mix the ranges on both sides of each seam",
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CommandResult r;
    const QString out = join(c.options, r);
    EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
    if (!c.kept) {
      EXPECT_LT(CopiedShare(source, out, begin, end), 0.1);
      continue;
    }
    EXPECT_FALSE(r.err.contains("no MP3 frames kept")) << r.err.toStdString();
    ASSERT_EQ(GaplessFrames(out, 2), n);
    const std::vector<float> got = DecodeWithFfmpeg(out);
    const std::vector<float> once(whole.begin() + begin * 2, whole.begin() + end * 2);
    std::vector<float> expected = once;
    expected.insert(expected.end(), once.begin(), once.end());
    for (float& v : expected) v = static_cast<float>(v * std::pow(2.0, c.steps / 4.0));
    ASSERT_EQ(got.size(), expected.size());
    const std::size_t edge = 4 * 1152, fadeIn = 22050, fadeOut = c.steps == 0 ? 13230 : 0;
    // Past the fade-in, before the fade-out, away from the seam's re-encoded frames.
    const float tolerance = c.steps == 0 ? 0.0f : 1e-5f;
    EXPECT_LE(MaxError(got, expected, (fadeIn + edge) * 2, (n / 2 - edge) * 2), tolerance);
    EXPECT_LE(MaxError(got, expected, (n / 2 + edge) * 2, (n - fadeOut - edge) * 2), tolerance);
    // Only the frames under the fades and at the seam are re-encoded;
    // frames with a gain are the source's but for their global gain.
    if (c.steps == 0) EXPECT_GE(CopiedShare(source, out, begin, end), 0.8);
    // The first 10 ms lie where the linear fade-in is below 2 %.
    const std::size_t ten = 441 * 2;
    EXPECT_LT(Rms(got, 0, ten), 0.05 * Rms(expected, 0, ten));
    if (fadeOut > 0) EXPECT_LT(Rms(got, got.size() - ten, got.size()), 0.08 * Rms(expected, got.size() - ten, got.size()));
  }
}

}  // namespace
}  // namespace snipwave::test
