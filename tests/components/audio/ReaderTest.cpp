#include <gtest/gtest.h>

#include <cmath>

#include "AudioTestHelpers.h"
#include "Commands.h"
#include "components/audio/TAudioFile2.h"

namespace snipwave::test {
namespace {

class ReaderExactness : public ::testing::TestWithParam<SourceKind> {};

// The reader's length and content equal an independent full decode by the
// ffmpeg command line (same decoders, same float mapping: bit-identical).
TEST_P(ReaderExactness, LengthAndContentMatchAFullDecode) {
  const QString path = SourceFixture(GetParam());
  const std::vector<float> reference = DecodeWithFfmpeg(path);
  ASSERT_FALSE(reference.empty());
  TAudioFile2 reader;
  reader.OpenFile(path.toStdString(), 0, 1);
  EXPECT_EQ(reader.SampleRate(), 44100u);
  EXPECT_EQ(reader.Channels(), 2);
  EXPECT_EQ(reader.FrameSize(), 2);
  EXPECT_EQ(static_cast<std::size_t>(reader.LengthSamples()), reference.size() / 2);
  EXPECT_NEAR(reader.DurationMs(), reader.LengthSamples() * 1000.0 / 44100, 1.0);
  const std::vector<float> all = ReadToEnd(reader);
  ASSERT_EQ(all.size(), reference.size());
  EXPECT_TRUE(all == reference) << "decoded samples differ from the ffmpeg CLI";
  EXPECT_TRUE(reader.ReadSamples(4410).empty());
  EXPECT_TRUE(reader.ReadSamples(4410).empty());
}

// Seeking then reading gives exactly the frames of a continuous decode from
// that position, for positions that exercise the start, a packet boundary,
// deep seeks and the last frame.
TEST_P(ReaderExactness, SeekIsSampleExact) {
  const QString path = SourceFixture(GetParam());
  TAudioFile2 reader;
  reader.OpenFile(path.toStdString(), 0, 1);
  const std::vector<float> all = ReadToEnd(reader);
  const std::int64_t length = reader.LengthSamples();
  ASSERT_EQ(static_cast<std::int64_t>(all.size()), length * 2);
  for (std::int64_t pos : {std::int64_t{300000}, std::int64_t{0}, std::int64_t{1}, std::int64_t{44100},
                           std::int64_t{150001}, length - 1, std::int64_t{20000}, std::int64_t{300000}}) {
    SCOPED_TRACE("seek to " + std::to_string(pos));
    reader.SeekSample(pos, 3);
    const SampleBuffer got = reader.ReadSamples(30000);
    const std::size_t expectFrames = static_cast<std::size_t>(std::min<std::int64_t>(30000, length - pos));
    ASSERT_EQ(got.size(), expectFrames * 2);
    const std::vector<float> expected(all.begin() + pos * 2, all.begin() + pos * 2 + static_cast<std::ptrdiff_t>(got.size()));
    std::size_t firstDiff = got.size();
    for (std::size_t i = 0; i < got.size(); ++i)
      if (got[i] != expected[i]) { firstDiff = i; break; }
    EXPECT_EQ(firstDiff, got.size()) << "first differing element " << firstDiff;
  }
  reader.SeekSample(length, 3);
  EXPECT_TRUE(reader.ReadSamples(100).empty());
  reader.SeekSample(length + 1000, 3);
  EXPECT_TRUE(reader.ReadSamples(100).empty());
}

INSTANTIATE_TEST_SUITE_P(AllSourceTypes, ReaderExactness, ::testing::ValuesIn(SourceKinds()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace snipwave::test
