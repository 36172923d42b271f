#pragma once

#include <cstddef>
#include <cstdint>

#include "level/LevelChoices.h"

namespace snipwave::level {

// The level of one output over its frames: a constant gain, the fade-in and
// fade-out at its ends and the edge fade at both ends (all multiplied).
// Frames outside the fades at gain 1 are left untouched, bit for bit.
class OutputShape {
 public:
  OutputShape() = default;
  // An output `length` frames long. Fades longer than the output are cut to it.
  OutputShape(std::int64_t length, std::int64_t fadeIn, std::int64_t fadeOut, FadeCurve curve,
              std::int64_t edgeFade, double gain);

  // The gain of output frame `frame`.
  double GainAt(std::int64_t frame) const;
  // Applies the shape to `frames` interleaved frames of `channels` that
  // start at output frame `first`.
  void Apply(float* samples, int channels, std::int64_t first, std::size_t frames) const;
  bool Neutral() const { return gain_ == 1.0 && fadeIn_ == 0 && fadeOut_ == 0 && edge_ == 0; }

 private:
  std::int64_t length_ = 0, fadeIn_ = 0, fadeOut_ = 0, edge_ = 0;
  FadeCurve curve_ = FadeCurve::Linear;
  double gain_ = 1.0;
};

// Multiplies every sample by `gain` (nothing at gain 1).
void ApplyGain(float* samples, std::size_t count, double gain);

}  // namespace snipwave::level
