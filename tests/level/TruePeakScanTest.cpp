// The true-peak scan finds the peaks between samples: sines whose samples
// miss their crest by a known amount, in chunks of any size.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "level/TruePeakScan.h"

namespace snipwave::level {
namespace {

TEST(TruePeakScan, FindsTheCrestBetweenSamples) {
  struct Case {
    double cyclesPerSample, phase;
    std::size_t chunk;
  } cases[] = {
      {0.25, std::numbers::pi / 4, 4096},  // samples at +-0.707: 3 dB under the crest
      {0.25, 0.0, 7},                      // the crest on a sample
      {0.1, 0.3, 1000},                    // an ordinary tone
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cyclesPerSample);
    constexpr double kAmplitude = 0.5;
    std::vector<float> stereo;
    constexpr int kFrames = 44100, kRamp = 441;  // 10 ms ramps: a hard onset rings above the tone's crest
    for (int n = 0; n < kFrames; ++n) {
      const double ramp = std::min({1.0, double(n) / kRamp, double(kFrames - 1 - n) / kRamp});
      const float v =
          static_cast<float>(ramp * kAmplitude * std::sin(2 * std::numbers::pi * c.cyclesPerSample * n + c.phase));
      stereo.push_back(v);
      stereo.push_back(v * 0.25f);  // the peak is the louder channel's
    }
    TruePeakScan scan(2, 44100);
    for (std::size_t at = 0; at < stereo.size() / 2; at += c.chunk)
      scan.Add(stereo.data() + at * 2, std::min(c.chunk, stereo.size() / 2 - at));
    EXPECT_NEAR(scan.PeakDb(), 20 * std::log10(kAmplitude), 0.15);
  }
  EXPECT_EQ(TruePeakScan(1, 44100).PeakDb(), -std::numeric_limits<double>::infinity());
}

}  // namespace
}  // namespace snipwave::level
