#include <gtest/gtest.h>

#include <QFile>
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "AudioTestHelpers.h"
#include "Commands.h"
#include "Mp3Frames.h"
#include "TempDir.h"
#include "components/audio/OutputSetups.h"
#include "components/audio/TAudioFile2.h"
#include "components/audio/TAudioFile2LameEnc.h"
#include "platform/Error.h"
#include "settings/SettingsKeys.h"

namespace snipwave::test {
namespace {

// Frames mpg123 decodes from a file with the LAME tag's delay and padding
// applied: the independent reference for an MP3 file's length.
std::size_t GaplessFrames(const QString& path, int channels) {
  const CommandResult r = RunCommand("mpg123", {"--gapless", "-q", "-s", path});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  return static_cast<std::size_t>(r.out.size()) / (2u * static_cast<std::size_t>(channels));
}

QString Encode(const TempDir& dir, const QString& name, TAudioFile2LameEnc& enc, const std::vector<float>& signal) {
  TAudioFile2 writer;
  writer.SetMp3Encoder(&enc);
  writer.SetPcmFormat(enc.SampleRate(), 2);
  writer.CreateOutputFile(dir.fileStd(name));
  for (std::size_t at = 0; at < signal.size(); at += 2 * 44100) {
    const std::size_t end = std::min(signal.size(), at + 2 * 44100);
    writer.WriteSamples(SampleBuffer(signal.begin() + static_cast<std::ptrdiff_t>(at),
                                     signal.begin() + static_cast<std::ptrdiff_t>(end)));
  }
  writer.CloseFile();
  return dir.file(name);
}

// Every length decodes to exactly the frames written, whatever it is modulo
// the MP3 frame (1152 frames, 576 at 24 kHz and below), CBR and VBR, with
// mpg123, FFmpeg (the shortest at 22.05 kHz) and our own reader.
TEST(Mp3Writer, DecodedLengthEqualsWrittenLength) {
  TempDir dir;
  const int lengths[] = {0, 1, 2, 46, 47, 575, 576, 577, 1151, 1152, 1153, 1198, 115201};
  for (const int rate : {44100, 22050}) {
    for (const bool vbr : {false, true}) {
      TAudioFile2LameEnc enc;
      enc.SetSampleRate(rate);
      enc.SetBitRate(rate == 44100 ? 128 : 64);
      enc.SetVbrMode(vbr ? 0 : -1);
      enc.SetVbrQuality(4);
      for (const int frames : lengths) {
        SCOPED_TRACE(std::to_string(rate) + (vbr ? " Hz VBR, " : " Hz CBR, ") + std::to_string(frames) + " frames");
        const QString path = Encode(dir, "len.mp3", enc, Chords(frames, rate, 2));
        EXPECT_EQ(GaplessFrames(path, 2), static_cast<std::size_t>(frames));
        // libavcodec trims the start of a stream of a few 576-sample frames its own way.
        if (rate == 22050 && frames <= 47) {
          EXPECT_EQ(DecodeWithFfmpeg(path).size(), static_cast<std::size_t>(frames) * 2);
        }
        // Our reader asks for a few frames in a row before it takes a file
        // for MP3 (as libavformat's probe does); long files only.
        if (frames < 10000) continue;
        TAudioFile2 reader;
        reader.OpenFile(path.toStdString());
        EXPECT_EQ(reader.LengthSamples(), frames);
        EXPECT_EQ(ReadToEnd(reader).size(), static_cast<std::size_t>(frames) * 2);
      }
    }
  }
}

// Every sample rate and constant bit rate the settings dialog offers, mono
// and stereo in turn, decodes to the frames written in mpg123 and in FFmpeg.
// At low bit rates (56 kbit/s and below at 44.1 kHz) a frame of the stream's
// own bit rate is too short for the LAME tag: the tag frame is wider.
TEST(Mp3Writer, EveryOfferedRateAndBitRateDecodesToTheLengthWritten) {
  TempDir dir;
  const int lengths[] = {1, 46, 1153};
  int n = 0;
  for (const int rate : settings::kSampleRates) {
    for (const int kbps : settings::kBitRates) {
      const int channels = 1 + n % 2;
      if (!audio::IsMp3FormatSupported(rate, kbps, channels)) continue;
      const int frames = lengths[n++ % 3];
      SCOPED_TRACE(std::to_string(rate) + " Hz, " + std::to_string(kbps) + " kbit/s, " + std::to_string(channels) +
                   " channel(s), " + std::to_string(frames) + " frames");
      TAudioFile2LameEnc enc;
      enc.SetSampleRate(rate);
      enc.SetBitRate(kbps);
      enc.SetChannels(channels);
      const QString path = Encode(dir, "format.mp3", enc, Chords(frames, rate, 2));
      EXPECT_EQ(GaplessFrames(path, channels), static_cast<std::size_t>(frames));
      EXPECT_EQ(DecodeWithFfmpeg(path).size(), static_cast<std::size_t>(frames * channels));
    }
  }
  EXPECT_GT(n, 100);
}

// The VBR bit rate is the ceiling of every audio frame's bit rate (the first
// frame is the LAME tag, not audio).
TEST(Mp3Writer, VbrBitRateBoundsTheFrames) {
  TempDir dir;
  TAudioFile2LameEnc enc;
  enc.SetVbrMode(0);
  enc.SetVbrQuality(0);
  const std::vector<float> signal = Chords(3 * 44100, 44100, 2);
  enc.SetVbrBitRate(64);
  const QString low = Encode(dir, "v64.mp3", enc, signal);
  enc.SetVbrBitRate(320);
  const QString high = Encode(dir, "v320.mp3", enc, signal);
  QFile a(low), b(high);
  ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
  EXPECT_LT(a.size() * 2, b.size());
  const std::vector<Mp3Frame> frames = Mp3FramesOf(low);
  ASSERT_GT(frames.size(), 100u);
  int highest = 0;
  for (std::size_t i = 1; i < frames.size(); ++i) highest = std::max(highest, frames[i].kbps);
  EXPECT_LE(highest, 64);
  EXPECT_EQ(GaplessFrames(low, 2), 3u * 44100);
}

// A full disk (here a file-size limit, in a child process) is an error naming
// the file, not a short file reported as written.
TEST(Mp3Writer, WriteFailureIsReported) {
  TempDir dir;
  const std::string path = dir.fileStd("limited.mp3");
  const pid_t child = fork();
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{20000, 20000};
    setrlimit(RLIMIT_FSIZE, &limit);
    try {
      TAudioFile2LameEnc enc;
      TAudioFile2 writer;
      writer.SetMp3Encoder(&enc);
      writer.SetPcmFormat(44100, 2);
      writer.CreateOutputFile(path);
      writer.WriteSamples(Chords(5 * 44100, 44100, 2));
      writer.CloseFile();
    } catch (const Error& e) {
      _exit(std::string(e.what()).find(path) != std::string::npos ? 0 : 2);
    }
    _exit(1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: no error, 2: the error does not name the file";
}

}  // namespace
}  // namespace snipwave::test
