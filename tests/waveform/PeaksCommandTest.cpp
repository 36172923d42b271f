// `snipwave peaks` run as a user runs it, compared with min/max blocks made
// from an independent ffmpeg decode of files made by sox and lame.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <string>

#include "components/audio/TAudioFile2.h"
#include "waveform/PeakBlocks.h"

#include "Commands.h"
#include "TempDir.h"

namespace snipwave::test {
namespace {

const QString kProgram = SNIPWAVE_RUNTIME_DIR "/snipwave";

// Min and max of each block of the mixed channels, as levels of `bits`.
std::vector<int> ReferencePeaks(const std::vector<float>& interleaved, int channels, int block, int bits) {
  const double scale = bits == 16 ? 32767.0 : 127.0;
  const double low = bits == 16 ? -32768 : -128, high = bits == 16 ? 32767 : 127;
  std::vector<int> levels;
  const std::size_t frames = interleaved.size() / channels;
  for (std::size_t start = 0; start < frames; start += block) {
    double lo = 1e9, hi = -1e9;
    for (std::size_t f = start; f < std::min(frames, start + block); ++f) {
      double sum = 0;
      for (int c = 0; c < channels; ++c) sum += interleaved[f * channels + c];
      lo = std::min(lo, sum / channels);
      hi = std::max(hi, sum / channels);
    }
    levels.push_back(static_cast<int>(std::clamp(std::round(lo * scale), low, high)));
    levels.push_back(static_cast<int>(std::clamp(std::round(hi * scale), low, high)));
  }
  return levels;
}

QJsonObject RunPeaks(const QStringList& args) {
  const CommandResult r = RunCommand(kProgram, QStringList{"peaks"} + args);
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  return QJsonDocument::fromJson(r.out).object();
}

void ExpectPeaksMatch(const QString& file, int channels, int rate, int block, int bits) {
  QStringList args;
  if (block != 256) args << "--samples-per-pixel" << QString::number(block);
  if (bits != 16) args << "--bits" << QString::number(bits);
  const QJsonObject json = RunPeaks(args << file);
  EXPECT_EQ(json["version"].toInt(), 2);
  EXPECT_EQ(json["channels"].toInt(), 1);
  EXPECT_EQ(json["sample_rate"].toInt(), rate);
  EXPECT_EQ(json["samples_per_pixel"].toInt(), block);
  EXPECT_EQ(json["bits"].toInt(), bits);
  const std::vector<int> expected = ReferencePeaks(DecodeWithFfmpeg(file), channels, block, bits);
  const QJsonArray data = json["data"].toArray();
  EXPECT_EQ(json["length"].toInt(), static_cast<int>(expected.size() / 2));
  ASSERT_EQ(data.size(), static_cast<qsizetype>(expected.size())) << file.toStdString();
  int worst = 0;
  for (qsizetype i = 0; i < data.size(); ++i) worst = std::max(worst, std::abs(data[i].toInt() - expected[i]));
  EXPECT_LE(worst, bits == 16 ? 1 : 1) << file.toStdString() << " block " << block;
}

TEST(PeaksCommand, MatchesAnIndependentDecodeOfSoxAndLameFiles) {
  TempDir dir;
  const QString wav = dir.file("two tones.wav");
  // Different tones on the two channels, so the mix matters; the length is
  // no multiple of the block, so the short last block shows.
  ASSERT_EQ(RunCommand("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth", "2.3456", "sine", "440",
                               "sine", "1234", "vol", "0.8"}).exitCode, 0);
  const QString mp3 = dir.file("lame.mp3");
  ASSERT_EQ(RunCommand("lame", {"--quiet", "-b", "128", wav, mp3}).exitCode, 0);
  ExpectPeaksMatch(wav, 2, 44100, 256, 16);
  ExpectPeaksMatch(wav, 2, 44100, 1000, 8);
  ExpectPeaksMatch(mp3, 2, 44100, 256, 16);
  ExpectPeaksMatch(mp3, 2, 44100, 77, 16);
}

// The whole document as one string, the way the command wrote it before it
// streamed: the reader's decode, blocks, then the text in one piece.
std::string WholeDocument(const QString& path, int block, int bits) {
  TAudioFile2 reader;
  reader.OpenFile(path.toStdString());
  BlockPeaks blocks(block, reader.Channels());
  std::vector<PeakPair> peaks;
  for (SampleBuffer b; !(b = reader.ReadSamples(1 << 16)).empty();)
    blocks.Add(b.data(), b.size() / static_cast<std::size_t>(reader.Channels()), peaks);
  blocks.Finish(peaks);
  const double scale = bits == 16 ? 32767.0 : 127.0;
  const long low = bits == 16 ? -32768 : -128, high = bits == 16 ? 32767 : 127;
  std::string text = "{\"version\":2,\"channels\":1,\"sample_rate\":" + std::to_string(reader.SampleRate()) +
                     ",\"samples_per_pixel\":" + std::to_string(block) + ",\"bits\":" + std::to_string(bits) +
                     ",\"length\":" + std::to_string(peaks.size()) + ",\"data\":[";
  for (std::size_t i = 0; i < peaks.size(); ++i) {
    if (i > 0) text += ',';
    text += std::to_string(std::clamp(std::lround(peaks[i].min * scale), low, high)) + ',' +
            std::to_string(std::clamp(std::lround(peaks[i].max * scale), low, high));
  }
  return text + "]}\n";
}

TEST(PeaksCommand, StreamedOutputIsByteForByteTheWholeDocument) {
  // One block per frame makes a megabyte of text: many chunks, cut anywhere.
  const QString mp3 = ChirpFixture("peaks-stream.mp3", 3.0, 44100, 2);
  for (const auto& [block, bits] : std::vector<std::pair<int, int>>{{1, 16}, {256, 8}, {3000, 16}}) {
    QStringList args{"peaks", "--samples-per-pixel", QString::number(block), "--bits", QString::number(bits), mp3};
    const CommandResult r = RunCommand(kProgram, args);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.toStdString() == WholeDocument(mp3, block, bits)) << "block " << block << ", " << bits << " bits";
  }
}

TEST(PeaksCommand, AnOutputThatRefusesTheTextFails) {
  const QString wav = ChirpFixture("peaks-full.wav", 2.0, 44100, 1);
  const CommandResult r = RunCommand("sh", {"-c", "exec \"$0\" peaks --samples-per-pixel 1 \"$1\" > /dev/full", kProgram, wav});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(r.err.contains("Cannot write the peaks")) << r.err.toStdString();
}

TEST(PeaksCommand, WrongArgumentsAndUnreadableFiles) {
  TempDir dir;
  const QString wav = ChirpFixture("peaks-args.wav", 0.5, 8000, 1);
  struct Case {
    QStringList args;
    int exitCode;
    const char* message;
  };
  const std::vector<Case> cases = {
      {{}, 2, "needs a file"},
      {{"--bits", "12", wav}, 2, "--bits takes 8 or 16"},
      {{"--samples-per-pixel", "0", wav}, 2, "whole number"},
      {{"--samples-per-pixel", "x", wav}, 2, "whole number"},
      {{"--samples-per-pixel"}, 2, "needs a number"},
      {{"--frobnicate", wav}, 2, "Unknown option"},
      {{wav, wav}, 2, "one file"},
      {{dir.file("missing.mp3")}, 1, "missing.mp3"},
  };
  for (const Case& c : cases) {
    const CommandResult r = RunCommand(kProgram, QStringList{"peaks"} + c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.args.join(' ').toStdString();
    EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());
  }
  // The = form and a single short block.
  const QJsonObject json = RunPeaks({"--samples-per-pixel=100000", wav});
  EXPECT_EQ(json["length"].toInt(), 1);
}

}  // namespace
}  // namespace snipwave::test
