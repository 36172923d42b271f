#include <gtest/gtest.h>

#include <array>

#include "AudioTestHelpers.h"
#include "Commands.h"
#include "Mp3Frames.h"
#include "TempDir.h"
#include "components/audio/TAudioFile2.h"
#include "components/audio/TAudioFile2LameEnc.h"
#include "platform/Error.h"

namespace snipwave::test {
namespace {

constexpr std::array<int, 10> kRates = {6000, 8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
constexpr std::array<int, 17> kBitRates = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};

// Every combination of the settings lists the check accepts is written by
// LAME exactly as asked (frame headers say so); the Layer III tables decide.
TEST(CheckMp3Format, AcceptedCombinationsAreEncodedUnchanged) {
  TempDir dir;
  TAudioFile2 writer;
  TAudioFile2LameEnc enc;
  writer.SetMp3Encoder(&enc);
  int accepted = 0;
  for (int rate : kRates)
    for (int kbps : kBitRates)
      for (int channels : {1, 2}) {
        if (!writer.CheckMp3Format(rate, kbps, channels)) continue;
        ++accepted;
        SCOPED_TRACE(std::to_string(rate) + " Hz " + std::to_string(kbps) + " kbit/s " + std::to_string(channels));
        enc.SetSampleRate(rate);
        enc.SetBitRate(kbps);
        enc.SetChannels(channels);
        writer.SetPcmFormat(rate, channels);
        writer.CreateOutputFile(dir.fileStd("c.mp3"));
        writer.WriteSamples(SampleBuffer(static_cast<std::size_t>(rate / 10 * channels), 0.1f));
        writer.CloseFile();
        const auto frames = Mp3FramesOf(dir.file("c.mp3"));
        ASSERT_FALSE(frames.empty());
        EXPECT_EQ(frames.back().kbps, kbps);
        EXPECT_EQ(frames.back().sampleRate, rate);
        EXPECT_EQ(frames.back().channels, channels);
      }
  // Of the 17 listed bit rates: 14 are MPEG-1 rates, 13 MPEG-2 (no 144), 8
  // MPEG-2.5; three sample rates each, mono and stereo.
  EXPECT_EQ(accepted, (3 * 14 + 3 * 13 + 3 * 8) * 2);
}

TEST(CheckMp3Format, RejectedCombinations) {
  TAudioFile2 writer;
  for (int kbps : kBitRates) EXPECT_FALSE(writer.CheckMp3Format(6000, kbps, 2)) << kbps;
  EXPECT_FALSE(writer.CheckMp3Format(44100, 8, 2));    // below MPEG-1
  EXPECT_FALSE(writer.CheckMp3Format(22050, 192, 2));  // above MPEG-2
  EXPECT_FALSE(writer.CheckMp3Format(11025, 80, 1));   // above MPEG-2.5
  EXPECT_FALSE(writer.CheckMp3Format(44100, 128, 3));
  EXPECT_TRUE(writer.CheckMp3Format(48000, 320, 1));
  EXPECT_TRUE(writer.CheckMp3Format(8000, 8, 2));
  // What the check rejects, LAME changes: 44.1 kHz at 8 kbit/s comes out otherwise.
  TempDir dir;
  Ffmpeg({"-f", "lavfi", "-i", "sine=d=0.3:r=44100", "-c:a", "libmp3lame", "-b:a", "8k", dir.file("lame.mp3")});
  const auto frames = Mp3FramesOf(dir.file("lame.mp3"));
  ASSERT_FALSE(frames.empty());
  EXPECT_FALSE(frames.back().kbps == 8 && frames.back().sampleRate == 44100);
}

// The OGG check asks libvorbis; whatever it accepts, the writer creates.
TEST(CheckOggFormat, AnswersForWhatTheWriterCanCreate) {
  TAudioFile2 writer;
  EXPECT_TRUE(writer.CheckOggFormat(44100, 2, 128, 128, 128));
  EXPECT_FALSE(writer.CheckOggFormat(8000, 2, 320, 320, 320));
  EXPECT_FALSE(writer.CheckOggFormat(44100, 2, 8, 8, 8));
  TempDir dir;
  int yes = 0, no = 0;
  for (int rate : {6000, 11025, 22050, 44100, 48000})
    for (int kbps : {16, 32, 64, 128, 256, 320}) {
      const bool ok = writer.CheckOggFormat(rate, 2, kbps, kbps, kbps);
      ok ? ++yes : ++no;
      writer.SetOggFormat(rate, 2, kbps, kbps, kbps, -1);
      writer.SetPcmFormat(44100, 2);
      if (ok) {
        EXPECT_NO_THROW(writer.CreateOutputFile(dir.fileStd("o.ogg"))) << rate << " " << kbps;
        writer.CloseFile();
      } else {
        EXPECT_THROW(writer.CreateOutputFile(dir.fileStd("o.ogg")), Error) << rate << " " << kbps;
      }
    }
  EXPECT_GT(yes, 5);
  EXPECT_GT(no, 5);
}

}  // namespace
}  // namespace snipwave::test
