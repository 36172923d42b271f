#include "level/TruePeakScan.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace snipwave::level {

namespace {

constexpr int kHalf = TruePeakScan::kTaps / 2;  // the window reaches 6 samples either side

double WindowedSinc(double d) {
  if (std::abs(d) >= kHalf) return 0.0;
  const double sinc = d == 0.0 ? 1.0 : std::sin(std::numbers::pi * d) / (std::numbers::pi * d);
  return sinc * 0.5 * (1.0 + std::cos(std::numbers::pi * d / kHalf));
}

}  // namespace

TruePeakScan::TruePeakScan(int channels)
    : channels_(std::max(1, channels)),
      history_(std::size_t(channels_), std::vector<float>(kTaps - 1, 0.0f)),
      peaks_(std::size_t(channels_), 0.0) {
  // Tap m of a window starting at sample i weighs x[i + m] for the point
  // (i + kHalf - 1) + p/4, p = 1, 2, 3.
  for (int p = 1; p <= 3; ++p)
    for (int m = 0; m < kTaps; ++m) phases_[std::size_t(p - 1)][std::size_t(m)] =
        static_cast<float>(WindowedSinc(double(m - (kHalf - 1)) - p / 4.0));
}

void TruePeakScan::Scan(std::vector<float>& x, double& peak) const {
  const std::size_t n = x.size();
  float highest = static_cast<float>(peak);
  for (std::size_t i = 0; i + kTaps <= n; ++i) {
    const float* w = x.data() + i;
    float y1 = 0, y2 = 0, y3 = 0;
    for (int m = 0; m < kTaps; ++m) {
      y1 += w[m] * phases_[0][std::size_t(m)];
      y2 += w[m] * phases_[1][std::size_t(m)];
      y3 += w[m] * phases_[2][std::size_t(m)];
    }
    highest = std::max({highest, std::abs(w[kHalf - 1]), std::abs(y1), std::abs(y2), std::abs(y3)});
  }
  peak = highest;
  // Keeps the last kTaps - 1 samples for the windows that reach past them.
  if (n > kTaps - 1) x.erase(x.begin(), x.end() - (kTaps - 1));
}

void TruePeakScan::Add(const float* interleaved, std::size_t frames) {
  for (int c = 0; c < channels_; ++c) {
    std::vector<float>& x = history_[std::size_t(c)];
    x.reserve(kTaps - 1 + frames);
    for (std::size_t f = 0; f < frames; ++f) x.push_back(interleaved[f * std::size_t(channels_) + std::size_t(c)]);
    Scan(x, peaks_[std::size_t(c)]);
  }
}

double TruePeakScan::PeakDb() const {
  double highest = 0;
  for (int c = 0; c < channels_; ++c) {
    std::vector<float> x = history_[std::size_t(c)];
    x.resize(x.size() + kHalf + 1, 0.0f);  // the last samples' windows, silence after them
    double peak = peaks_[std::size_t(c)];
    Scan(x, peak);
    highest = std::max(highest, peak);
  }
  return highest > 0 ? 20.0 * std::log10(highest) : -std::numeric_limits<double>::infinity();
}

}  // namespace snipwave::level
