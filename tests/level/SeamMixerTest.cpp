// The join's mixer fed in chunks of any size: the same frames as the
// crossfade's formula, whatever the chunks, and the length the plan says.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "level/SeamMixer.h"

namespace snipwave::level {
namespace {

TEST(SeamMixer, AnyChunkingGivesTheCrossfadeFormula) {
  constexpr int kChannels = 2;
  const std::vector<std::int64_t> lengths = {1000, 300, 701};
  const std::vector<std::int64_t> overlaps = {100, 150, 0};  // 150: exactly half of the middle range
  std::mt19937 random(7);
  std::uniform_real_distribution<float> sample(-1.f, 1.f);
  std::vector<std::vector<float>> ranges;
  for (std::int64_t length : lengths) {
    ranges.emplace_back(std::size_t(length * kChannels));
    for (float& s : ranges.back()) s = sample(random);
  }
  // The expected join, frame by frame from the formula.
  std::vector<float> expected;
  std::int64_t start = 0;  // where the current range starts in the output
  for (std::size_t r = 0; r < ranges.size(); ++r) {
    const std::int64_t overlapBefore = r == 0 ? 0 : overlaps[r - 1];
    for (std::int64_t k = 0; k < lengths[r]; ++k) {
      for (int c = 0; c < kChannels; ++c) {
        const std::size_t at = std::size_t((start + k) * kChannels + c);
        double value = ranges[r][std::size_t(k * kChannels + c)];
        if (k < overlapBefore) value *= std::sin(double(k) / overlapBefore * std::numbers::pi / 2);
        const std::int64_t fromTail = k - (lengths[r] - overlaps[r]);
        if (fromTail >= 0) value *= std::cos(double(fromTail) / overlaps[r] * std::numbers::pi / 2);
        if (at >= expected.size()) expected.resize(at + 1);
        expected[at] += static_cast<float>(value);
      }
    }
    start += lengths[r] - overlaps[r];
  }

  for (const bool randomChunks : {false, true}) {
    SCOPED_TRACE(randomChunks ? "random chunks" : "whole ranges");
    std::vector<float> joined;
    SeamMixer mixer(kChannels, FadeCurve::EqualPower,
                    [&](std::vector<float>& out) { joined.insert(joined.end(), out.begin(), out.end()); });
    std::uniform_int_distribution<std::int64_t> chunk(1, 257);
    for (std::size_t r = 0; r < ranges.size(); ++r) {
      mixer.BeginRange(overlaps[r]);
      for (std::int64_t k = 0; k < lengths[r];) {
        const std::int64_t n = randomChunks ? std::min(chunk(random), lengths[r] - k) : lengths[r];
        mixer.Push(ranges[r].data() + k * kChannels, std::size_t(n));
        k += n;
      }
      mixer.EndRange();
    }
    mixer.Finish();
    EXPECT_EQ(mixer.FramesOut(), 1000 + 300 + 701 - 100 - 150);
    ASSERT_EQ(joined.size(), expected.size());
    for (std::size_t i = 0; i < joined.size(); ++i)
      ASSERT_NEAR(joined[i], expected[i], 1e-6) << "sample " << i;
  }
}

}  // namespace
}  // namespace snipwave::level
