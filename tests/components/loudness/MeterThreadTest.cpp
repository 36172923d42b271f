#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "components/loudness/MeterThread.h"

namespace snipwave::test {
namespace {

// Blocks of stereo noise whose level changes from block to block.
std::vector<std::vector<float>> NoiseBlocks(int count, std::size_t frames) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
  std::vector<std::vector<float>> blocks;
  for (int b = 0; b < count; ++b) {
    std::vector<float> block(frames * 2);
    const float level = 0.05f + 0.9f * float(b % 5) / 5.0f;
    for (float& v : block) v = level * sample(random);
    blocks.push_back(std::move(block));
  }
  return blocks;
}

// Fed on its own thread, the meter measures the very blocks given, in order,
// more of them than may wait at once; destroyed with blocks still waiting,
// it drops them and returns.
TEST(MeterThread, MeasuresWhatItIsGivenAndDropsWhatWaitsWhenDestroyed) {
  const std::vector<std::vector<float>> blocks = NoiseBlocks(3 * int(loudness::MeterThread::kQueued), 22050);
  loudness::LoudnessMeter direct(44100, 2, "direct");
  loudness::MeterThread threaded(44100, 2, "threaded");
  for (const std::vector<float>& block : blocks) {
    direct.Add(block.data(), block.size() / 2);
    threaded.Add(block);
  }
  const loudness::Loudness expected = direct.Result(), got = threaded.Finish();
  EXPECT_GT(expected.rangeLu, 1.0);
  EXPECT_EQ(got.integratedLufs, expected.integratedLufs);
  EXPECT_EQ(got.rangeLu, expected.rangeLu);
  EXPECT_EQ(got.truePeakDbtp, expected.truePeakDbtp);

  auto abandoned = std::make_unique<loudness::MeterThread>(44100, 2, "abandoned");
  for (const std::vector<float>& block : blocks) abandoned->Add(block);
  abandoned.reset();
}

}  // namespace
}  // namespace snipwave::test
