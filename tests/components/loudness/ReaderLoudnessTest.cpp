#include <gtest/gtest.h>

#include <QFile>

#include "Commands.h"
#include "FfmpegLoudness.h"
#include "components/audio/TAudioFile2.h"
#include "components/loudness/ReaderLoudness.h"

namespace snipwave::test {
namespace {

struct LoudnessCase {
  const char* name;
  std::function<QString()> make;
  bool silent;
};

// The whole file as the reader decodes it, against FFmpeg's ebur128 filter on
// the same file: integrated loudness within 0.1 LU, true peak within 0.1 dB
// (FFmpeg prints one decimal). Silence has neither. (The loudness range is
// libebur128's own: its percentiles are interpolated otherwise than FFmpeg's,
// some 0.2 LU apart.)
TEST(ReaderLoudness, AgreesWithFfmpegsEbur128) {
  const std::vector<LoudnessCase> cases = {
      {"mono WAV", [] { return ChirpFixture("loud-mono.wav", 6.0, 44100, 1); }, false},
      {"stereo MP3", [] { return ChirpFixture("loud-stereo.mp3", 6.0, 44100, 2, {"-c:a", "libmp3lame", "-b:a", "192k"}); },
       false},
      {"48 kHz OGG", [] { return ChirpFixture("loud-48k.ogg", 6.0, 48000, 2, {"-c:a", "libvorbis"}); }, false},
      // Each channel its own level, the surrounds' rising every 2 s; the LFE,
      // loudest of all, counts for nothing.
      {"5.1 WAV, rising",
       [] {
         return Fixture("loud-51.wav",
                        {"-f", "lavfi", "-i",
                         "aevalsrc=exprs=0.1*sin(2*PI*440*t)|0.2*sin(2*PI*550*t)|0.05*sin(2*PI*660*t)|"
                         "0.6*sin(2*PI*50*t)|0.05*(1+floor(t/2))*sin(2*PI*880*t)|0.1*sin(2*PI*990*t):c=5.1:s=48000:d=12"});
       },
       false},
      {"silence", [] { return Fixture("loud-silence.wav", {"-f", "lavfi", "-i", "anullsrc=r=44100:cl=stereo:d=3"}); },
       true},
  };
  for (const LoudnessCase& c : cases) {
    SCOPED_TRACE(c.name);
    const QString path = c.make();
    TAudioFile2 reader;
    reader.OpenFile(QFile::encodeName(path).toStdString(), 0, 1);
    const std::optional<loudness::Loudness> ours = loudness::MeasureOpenReader(reader, 0, -1, path.toStdString());
    const FfmpegLoudness theirs = MeasureWithFfmpeg(path);
    if (c.silent) {
      EXPECT_FALSE(loudness::Shown(ours->integratedLufs));
      EXPECT_FALSE(loudness::Shown(ours->truePeakDbtp));
      EXPECT_EQ(loudness::Describe(*ours), "silent");
      continue;
    }
    EXPECT_NEAR(ours->integratedLufs, theirs.integratedLufs, 0.1);
    EXPECT_NEAR(ours->truePeakDbtp, theirs.truePeakDbtp, 0.1);
  }
}

}  // namespace
}  // namespace snipwave::test
