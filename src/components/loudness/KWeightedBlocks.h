#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace snipwave::loudness {

// The measuring core of ITU-R BS.1770-4 / EBU Tech 3341 and 3342, as
// FFmpeg's ebur128 filter applies it: every channel K-weighted (the
// high-shelf pre-filter, then the RLB high-pass, in double), its squares
// weighted (L R C 1, surround 1.41, LFE 0) and summed into the energy of each
// 100 ms step. Each sample is filtered and summed once; the 400 ms gating
// blocks (integrated loudness) and 3 s short-term windows (loudness range)
// are sums of whole steps, every 100 ms.
class KWeightedBlocks {
 public:
  // `weights`: one per channel of the interleaved frames given to Add.
  KWeightedBlocks(int sampleRate, std::vector<double> weights);

  void Add(const float* interleaved, std::size_t frames);

  // LUFS over the 400 ms blocks of all `parts` (one measure of them together),
  // gated at -70 LUFS and 10 LU below the mean of the blocks above that;
  // -infinity when no block passes.
  static double Integrated(const std::vector<const KWeightedBlocks*>& parts);
  // LU between the 10th and 95th percentile of the 3 s short-term loudness of
  // all `parts`, gated at -70 LUFS and 20 LU below their mean; 0 when none passes.
  static double Range(const std::vector<const KWeightedBlocks*>& parts);

 private:
  struct Filter {  // per channel: the last two inputs and outputs of both stages
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0, z1 = 0, z2 = 0;
  };
  // Mean energies of every window of `steps` whole steps, one per 100 ms.
  std::vector<double> Windows(std::size_t steps) const;

  int channels_;
  std::vector<double> weights_;
  std::vector<Filter> filters_;
  double pre_[5] = {}, rlb_[2] = {};  // b0 b1 b2 a1 a2 of the shelf; a1 a2 of the high-pass (b = 1 -2 1)
  std::size_t stepFrames_;            // frames in 100 ms
  std::size_t inStep_ = 0;            // frames of the current step so far
  double stepSum_ = 0;                // its weighted sum of squares so far
  std::vector<double> steps_;         // weighted sums of squares of the finished steps
};

}  // namespace snipwave::loudness
