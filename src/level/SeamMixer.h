#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "level/LevelChoices.h"

namespace snipwave::level {

// Lays the ranges of a join one after the other, each seam a crossfade: the
// last frames of a range play together with the first frames of the next,
// the one fading out along the curve as the other fades in (frame k of an
// overlap of T frames: outgoing x curve(1 - k/T) + incoming x curve(k/T)).
// The joined length is the sum of the ranges minus the overlaps.
class SeamMixer {
 public:
  // Receives the joined frames in order (interleaved, `channels` a frame).
  using Sink = std::function<void(std::vector<float>& samples)>;
  // Given a finished overlap (interleaved), returns the gain it takes
  // (1: none); for keeping a mix under a ceiling.
  using OverlapGain = std::function<double(const std::vector<float>& mixed)>;

  SeamMixer(int channels, FadeCurve curve, Sink sink, OverlapGain overlapGain = {});

  // Starts a range whose last `overlapNext` frames overlap the next range.
  void BeginRange(std::int64_t overlapNext);
  void Push(const float* samples, std::size_t frames);
  // Ends the range; its held-back frames wait for the next one.
  void EndRange();
  // Gives out whatever is still held (the join has no range after it).
  void Finish();

  std::int64_t FramesOut() const { return framesOut_; }
  int ReducedOverlaps() const { return reducedOverlaps_; }

 private:
  void Emit(std::size_t frames);

  int channels_;
  FadeCurve curve_;
  Sink sink_;
  OverlapGain overlapGain_;
  std::vector<float> tail_;  // the previous range's last frames, to mix in
  std::int64_t mixed_ = 0;   // frames of `tail_` mixed so far
  bool checked_ = true;      // the current overlap went through `overlapGain_`
  std::vector<float> held_;  // frames not given out yet
  std::int64_t holdBack_ = 0;
  std::int64_t framesOut_ = 0;
  int reducedOverlaps_ = 0;
};

}  // namespace snipwave::level
