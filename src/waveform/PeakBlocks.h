#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace snipwave {

// The lowest and highest sample of a block of frames, channels mixed as
// their mean, in the reader's float scale [-1, 1].
struct PeakPair {
  float min = 0;
  float max = 0;
};

// Cuts a stream of interleaved frames into blocks of `framesPerBlock` frames
// and gives each block's PeakPair. The last block may be shorter (Finish).
class BlockPeaks {
 public:
  BlockPeaks(int framesPerBlock, int channels);

  // Appends the peaks of every block completed by these frames to `out`.
  void Add(const float* interleaved, std::size_t frames, std::vector<PeakPair>& out);
  // The peaks of the incomplete last block, when it holds any frame.
  void Finish(std::vector<PeakPair>& out);

  int FramesPerBlock() const { return framesPerBlock_; }

 private:
  int framesPerBlock_;
  int channels_;
  int inBlock_ = 0;  // frames of the current block seen so far
  PeakPair current_;
};

// The same peak of both pairs: the lower min and the higher max.
inline PeakPair Merge(PeakPair a, PeakPair b) {
  return PeakPair{a.min < b.min ? a.min : b.min, a.max > b.max ? a.max : b.max};
}

}  // namespace snipwave
