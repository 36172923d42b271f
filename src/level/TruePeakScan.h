#pragma once

#include <array>
#include <cstddef>
#include <vector>

namespace snipwave::level {

// The true peak of interleaved float frames (BS.1770: the highest magnitude
// of the signal oversampled 4 times): each sample and the three points
// between it and the next, interpolated by a 12-tap windowed sinc per phase
// (Hann window over +-6 samples). A polyphase filter of 36 products per
// sample: a fraction of what a general resampler costs, for a measure that a
// gain is held under.
class TruePeakScan {
 public:
  explicit TruePeakScan(int channels);
  void Add(const float* interleaved, std::size_t frames);
  // dBTP of the highest channel; -infinity for silence. The frames after
  // the last are taken as silence.
  double PeakDb() const;

  static constexpr int kTaps = 12;

 private:
  void Scan(std::vector<float>& history, double& peak) const;

  int channels_;
  std::array<std::array<float, kTaps>, 3> phases_{};
  std::vector<std::vector<float>> history_;  // per channel: the last kTaps - 1 samples, then new ones
  std::vector<double> peaks_;
};

}  // namespace snipwave::level
