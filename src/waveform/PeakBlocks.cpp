#include "waveform/PeakBlocks.h"

#include <algorithm>
#include <stdexcept>

namespace snipwave {

BlockPeaks::BlockPeaks(int framesPerBlock, int channels) : framesPerBlock_(framesPerBlock), channels_(channels) {
  if (framesPerBlock < 1 || channels < 1) throw std::invalid_argument("block size and channels must be positive");
}

void BlockPeaks::Add(const float* interleaved, std::size_t frames, std::vector<PeakPair>& out) {
  const float scale = 1.0f / static_cast<float>(channels_);
  for (std::size_t f = 0; f < frames; ++f) {
    const float* frame = interleaved + f * static_cast<std::size_t>(channels_);
    float sum = 0;
    for (int c = 0; c < channels_; ++c) sum += frame[c];
    const float mixed = channels_ == 1 ? sum : sum * scale;
    if (inBlock_ == 0) {
      current_ = PeakPair{mixed, mixed};
    } else {
      current_.min = std::min(current_.min, mixed);
      current_.max = std::max(current_.max, mixed);
    }
    if (++inBlock_ == framesPerBlock_) {
      out.push_back(current_);
      inBlock_ = 0;
    }
  }
}

void BlockPeaks::Finish(std::vector<PeakPair>& out) {
  if (inBlock_ > 0) out.push_back(current_);
  inBlock_ = 0;
}

}  // namespace snipwave
