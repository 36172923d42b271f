#include "level/OutputShape.h"

#include <algorithm>

#include "level/FadeCurve.h"

namespace snipwave::level {

OutputShape::OutputShape(std::int64_t length, std::int64_t fadeIn, std::int64_t fadeOut, FadeCurve curve,
                         std::int64_t edgeFade, double gain)
    : length_(std::max<std::int64_t>(length, 0)),
      fadeIn_(std::clamp<std::int64_t>(fadeIn, 0, length_)),
      fadeOut_(std::clamp<std::int64_t>(fadeOut, 0, length_)),
      edge_(std::clamp<std::int64_t>(edgeFade, 0, length_)),
      curve_(curve),
      gain_(gain) {}

double OutputShape::GainAt(std::int64_t frame) const {
  const std::int64_t fromEnd = length_ - 1 - frame;
  return gain_ * FadeInGain(curve_, frame, fadeIn_) * FadeInGain(curve_, fromEnd, fadeOut_) *
         FadeInGain(FadeCurve::Linear, frame, edge_) * FadeInGain(FadeCurve::Linear, fromEnd, edge_);
}

void OutputShape::Apply(float* samples, int channels, std::int64_t first, std::size_t frames) const {
  if (Neutral() || channels <= 0) return;
  const std::int64_t head = std::max(fadeIn_, edge_);              // frames [0, head) fade in
  const std::int64_t tail = length_ - std::max(fadeOut_, edge_);  // frames [tail, length) fade out
  for (std::size_t i = 0; i < frames; ++i) {
    const std::int64_t frame = first + std::int64_t(i);
    if (frame >= head && frame < tail && gain_ == 1.0) continue;
    const double g = (frame >= head && frame < tail) ? gain_ : GainAt(frame);
    float* f = samples + i * std::size_t(channels);
    for (int c = 0; c < channels; ++c) f[c] = static_cast<float>(f[c] * g);
  }
}

void ApplyGain(float* samples, std::size_t count, double gain) {
  if (gain == 1.0) return;
  for (std::size_t i = 0; i < count; ++i) samples[i] = static_cast<float>(samples[i] * gain);
}

}  // namespace snipwave::level
