#include "level/SeamMixer.h"

#include <algorithm>

#include "level/FadeCurve.h"

namespace snipwave::level {

SeamMixer::SeamMixer(int channels, FadeCurve curve, Sink sink, OverlapGain overlapGain)
    : channels_(std::max(1, channels)), curve_(curve), sink_(std::move(sink)), overlapGain_(std::move(overlapGain)) {}

void SeamMixer::BeginRange(std::int64_t overlapNext) {
  holdBack_ = std::max<std::int64_t>(overlapNext, 0);
  mixed_ = 0;
  checked_ = tail_.empty();
}

void SeamMixer::Push(const float* samples, std::size_t frames) {
  const std::size_t ch = std::size_t(channels_);
  const std::int64_t overlap = std::int64_t(tail_.size() / ch);
  std::size_t i = 0;
  for (; i < frames && mixed_ < overlap; ++i, ++mixed_) {
    const double x = double(mixed_) / double(overlap);
    const double out = CurveGain(curve_, 1.0 - x), in = CurveGain(curve_, x);
    for (std::size_t c = 0; c < ch; ++c)
      held_.push_back(static_cast<float>(tail_[std::size_t(mixed_) * ch + c] * out + samples[i * ch + c] * in));
  }
  held_.insert(held_.end(), samples + i * ch, samples + frames * ch);
  if (mixed_ < overlap) return;  // the overlap is given out only once it is whole
  if (!checked_) {
    checked_ = true;
    const std::size_t mixedSamples = std::size_t(overlap) * ch;
    if (overlapGain_) {
      const std::vector<float> mix(held_.begin(), held_.begin() + std::ptrdiff_t(mixedSamples));
      const double gain = overlapGain_(mix);
      if (gain < 1.0) {
        ++reducedOverlaps_;
        for (std::size_t s = 0; s < mixedSamples; ++s) held_[s] = static_cast<float>(held_[s] * gain);
      }
    }
  }
  const std::int64_t heldFrames = std::int64_t(held_.size() / ch);
  if (heldFrames > holdBack_) Emit(std::size_t(heldFrames - holdBack_));
}

void SeamMixer::EndRange() {
  const std::size_t ch = std::size_t(channels_);
  const std::int64_t overlap = std::int64_t(tail_.size() / ch);
  // A range shorter than the overlap before it: the rest of the old range fades out alone.
  for (; mixed_ < overlap; ++mixed_) {
    const double out = CurveGain(curve_, 1.0 - double(mixed_) / double(overlap));
    for (std::size_t c = 0; c < ch; ++c)
      held_.push_back(static_cast<float>(tail_[std::size_t(mixed_) * ch + c] * out));
  }
  const std::int64_t heldFrames = std::int64_t(held_.size() / ch);
  const std::int64_t keep = std::min(holdBack_, heldFrames);
  Emit(std::size_t(heldFrames - keep));
  tail_.swap(held_);
  held_.clear();
  holdBack_ = 0;
}

void SeamMixer::Finish() {
  held_.insert(held_.end(), tail_.begin(), tail_.end());
  tail_.clear();
  Emit(held_.size() / std::size_t(channels_));
}

void SeamMixer::Emit(std::size_t frames) {
  if (frames == 0) return;
  const std::size_t count = frames * std::size_t(channels_);
  std::vector<float> out(held_.begin(), held_.begin() + std::ptrdiff_t(count));
  held_.erase(held_.begin(), held_.begin() + std::ptrdiff_t(count));
  framesOut_ += std::int64_t(frames);
  sink_(out);
}

}  // namespace snipwave::level
