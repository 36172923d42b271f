#include "components/cue/CueTime.h"

namespace snipwave {

namespace {

// round(a * b / c) for non-negative a, positive b and c, 128-bit in between.
std::int64_t ScaleRounded(std::int64_t a, std::int64_t b, std::int64_t c) {
  const __int128 product = static_cast<__int128>(a) * b;
  return static_cast<std::int64_t>((product + c / 2) / c);
}

}  // namespace

std::int64_t CueToSampleFrames(std::int64_t cueFrames, int sampleRate) {
  if (cueFrames <= 0 || sampleRate <= 0) return 0;
  return ScaleRounded(cueFrames, sampleRate, kCueFramesPerSecond);
}

std::int64_t SampleFramesToCue(std::int64_t frames, int sampleRate) {
  if (frames <= 0 || sampleRate <= 0) return 0;
  return ScaleRounded(frames, kCueFramesPerSecond, sampleRate);
}

QString CueTimeText(std::int64_t cueFrames) {
  const std::int64_t seconds = cueFrames / kCueFramesPerSecond;
  return QStringLiteral("%1:%2:%3")
      .arg(seconds / 60, 2, 10, QLatin1Char('0'))
      .arg(seconds % 60, 2, 10, QLatin1Char('0'))
      .arg(cueFrames % kCueFramesPerSecond, 2, 10, QLatin1Char('0'));
}

}  // namespace snipwave
