#pragma once

#include <QString>
#include <cstdint>

namespace snipwave {

// A cue sheet counts time in CD frames: 75 per second (588 sample frames at
// 44.1 kHz). "MM:SS:FF" with MM unbounded.
inline constexpr int kCueFramesPerSecond = 75;

// The sample frame at `cueFrames` of a source at `sampleRate` Hz: exact when
// the rate is a multiple of 75 (all the usual rates but 8 and 11.025 kHz),
// else the nearest frame (halves away from zero).
std::int64_t CueToSampleFrames(std::int64_t cueFrames, int sampleRate);

// The nearest CD frame to sample frame `frames` (halves away from zero).
std::int64_t SampleFramesToCue(std::int64_t frames, int sampleRate);

// "MM:SS:FF".
QString CueTimeText(std::int64_t cueFrames);

}  // namespace snipwave
