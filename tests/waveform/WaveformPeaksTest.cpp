// The multi-resolution peaks: every level answers what the base level would,
// also while a scan is still appending, within the memory bound.
#include <gtest/gtest.h>

#include <random>

#include "waveform/WaveformPeaks.h"
#include "waveform/WaveformWindow.h"

namespace snipwave {
namespace {

PeakPair BruteForce(const std::vector<PeakPair>& base, std::int64_t from, std::int64_t to, std::int64_t block) {
  PeakPair peak = base[static_cast<std::size_t>(from / WaveformPeaks::kBaseFrames)];
  for (std::int64_t i = from / WaveformPeaks::kBaseFrames; i < (to + block - 1) / WaveformPeaks::kBaseFrames &&
                                                            i < static_cast<std::int64_t>(base.size());
       ++i)
    peak = Merge(peak, base[static_cast<std::size_t>(i)]);
  return peak;
}

TEST(WaveformPeaks, CoarseLevelsAgreeWithTheBaseWhileGrowingAndWhenComplete) {
  const std::int64_t total = 3'000'000 + 77;  // no multiple of any block
  WaveformPeaks peaks(total, 44100, 2);
  std::mt19937 random(7);
  std::uniform_real_distribution<float> level(-1, 1);
  std::vector<PeakPair> base;
  const auto count = static_cast<std::size_t>((total + 255) / 256);
  for (std::size_t i = 0; i < count; ++i) {
    const float a = level(random), b = level(random);
    base.push_back({std::min(a, b), std::max(a, b)});
  }
  auto check = [&](std::int64_t scanned) {
    for (double fpp : {300.0, 1500.0, 70000.0, 1e6}) {
      for (int k = 0; k < 50; ++k) {
        const std::int64_t from = std::uniform_int_distribution<std::int64_t>(0, scanned - 1)(random);
        const std::int64_t to = std::min(scanned, from + static_cast<std::int64_t>(fpp));
        const std::optional<PeakPair> got = peaks.Range(from, to, fpp);
        ASSERT_TRUE(got.has_value());
        // A coarse block may reach past `to`: it may only widen the peak, and
        // never beyond the scanned peaks that its block covers.
        const PeakPair exact = BruteForce(base, from, to, 256);
        EXPECT_LE(got->min, exact.min);
        EXPECT_GE(got->max, exact.max);
      }
    }
    EXPECT_FALSE(peaks.Range(scanned + 256, scanned + 512, 300).has_value());
  };
  peaks.Append({base.begin(), base.begin() + 5000}, false);  // a scan half way
  EXPECT_EQ(peaks.ScannedFrames(), 5000 * 256);
  check(5000 * 256);
  peaks.Append({base.begin() + 5000, base.end()}, true);
  EXPECT_TRUE(peaks.Complete());
  EXPECT_EQ(peaks.ScannedFrames(), total);
  check(total);
  // At the base level the answer is exact.
  const PeakPair one = *peaks.Range(256 * 10, 256 * 11, 256);
  EXPECT_EQ(one.min, base[10].min);
  EXPECT_EQ(one.max, base[10].max);
}

TEST(WaveformPeaks, ThreeHoursAt44kFitInFiftyMegabytes) {
  const std::int64_t total = 3LL * 3600 * 44100;
  WaveformPeaks peaks(total, 44100, 2);
  std::vector<PeakPair> chunk(4096, PeakPair{-0.5f, 0.5f});
  for (std::int64_t done = 0; done < total; done += 4096LL * 256) peaks.Append(chunk, false);
  peaks.Append({}, true);
  EXPECT_LT(peaks.Bytes(), 50u << 20);
  EXPECT_GE(peaks.LevelCount(), 8);
}

TEST(WaveformPeaks, TheSketchStandsInForWhatIsNotScannedYet) {
  const std::int64_t total = 4000 * 256;
  WaveformPeaks peaks(total, 44100, 1);
  // Four cells of 1000 blocks each, told apart by their heights.
  peaks.SetSketch({{-0.1f, 0.1f}, {-0.2f, 0.2f}, {-0.3f, 0.3f}, {-0.4f, 0.4f}});
  struct Case {
    std::int64_t from, to;
    float max;  // expected; 0 = nothing
  };
  auto check = [&](const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      const std::optional<PeakPair> got = peaks.Range(c.from, c.to, 256);
      SCOPED_TRACE(testing::Message() << c.from << ".." << c.to);
      if (c.max == 0) {
        EXPECT_FALSE(got.has_value());
        continue;
      }
      ASSERT_TRUE(got.has_value());
      EXPECT_FLOAT_EQ(got->max, c.max);
    }
  };
  check({{0, 256, 0.1f}, {total - 1, total, 0.4f}, {1000 * 256 - 1, 1000 * 256 + 1, 0.2f}, {total, total + 9, 0}});
  // Scanned peaks win where they are; a range across the end of the scan
  // takes both.
  peaks.Append(std::vector<PeakPair>(1500, PeakPair{-0.9f, 0.9f}), false);
  check({{0, 256, 0.9f}, {1400 * 256, 1600 * 256, 0.9f}, {1600 * 256, 1700 * 256, 0.2f}, {3500 * 256, total, 0.4f}});
  WaveformPeaks failed = peaks;
  failed.Fail();  // what could not be read stays empty
  EXPECT_FALSE(failed.Range(1600 * 256, 1700 * 256, 256).has_value());
  peaks.Append(std::vector<PeakPair>(2500, PeakPair{-0.05f, 0.05f}), true);
  check({{3500 * 256, total, 0.05f}});
}

TEST(WaveformWindow, ZoomKeepsTheFrameUnderThePointerAndStaysInTheFile) {
  WaveformWindow w;
  w.Reset(441000, 500);
  EXPECT_TRUE(w.WholeFile());
  const double anchor = w.FrameAt(100);
  w.Zoom(8, 100);
  EXPECT_NEAR(w.FrameAt(100), anchor, 1e-6);
  for (int i = 0; i < 100; ++i) w.Zoom(2, 250);
  EXPECT_DOUBLE_EQ(w.FramesPerPixel(), WaveformWindow::kMinFramesPerPixel);
  w.PanPixels(1e12);
  EXPECT_NEAR(w.FrameAt(500), 441000, 1e-6);
  w.PanPixels(-1e12);
  EXPECT_EQ(w.First(), 0);
  for (int i = 0; i < 100; ++i) w.Zoom(0.5, 10);
  EXPECT_TRUE(w.WholeFile());
  EXPECT_EQ(w.SampleAt(500), 441000);
}

}  // namespace
}  // namespace snipwave
