#include "PlayoutClock.h"

#include <algorithm>
#include <cmath>

namespace snipwave {

namespace {
// How long a device may take to fill its buffer as it starts.
constexpr std::chrono::seconds kStartWindow{1};
}  // namespace

void PlayoutClock::Handed(Time now, std::int64_t frames, std::int64_t silenceBefore, std::int64_t streamFrames) {
  if (!started_) {
    started_ = true;
    firstCallback_ = now;
  }
  if (now - firstCallback_ <= kStartWindow) {
    const double elapsed = std::chrono::duration<double>(now - firstCallback_).count();
    latency_ = std::max<std::int64_t>(latency_, handed_ - std::llround(elapsed * rate_));
  }
  atLastCallback_ = handed_ - latency_;
  lastCallback_ = now;
  lastFrames_ = frames;
  if (streamFrames > 0) {
    const std::int64_t start = handed_ + silenceBefore;
    if (!runs_.empty() && runs_.back().deviceStart + runs_.back().frames == start)
      runs_.back().frames += streamFrames;
    else
      runs_.push_back(Run{start, streamHanded_, streamFrames});
    streamHanded_ += streamFrames;
    streamEnd_ = start + streamFrames;
  }
  handed_ += frames;
}

std::int64_t PlayoutClock::Sounded(Time now) {
  if (!started_) return sounded_;
  // The device moves on in real time after a callback, but not past what it
  // was handed: a device that stalls waits with its next request. So the
  // estimate never runs back when the next callback comes.
  const double elapsed = std::chrono::duration<double>(now - lastCallback_).count();
  const auto moved = std::clamp<std::int64_t>(std::llround(elapsed * rate_), 0, lastFrames_);
  sounded_ = std::max(sounded_, StreamAt(atLastCallback_ + moved));
  return sounded_;
}

std::int64_t PlayoutClock::StreamAt(std::int64_t deviceFrame) {
  // Runs the device has moved past are done with: the estimated device frame
  // only grows, except while the latency estimate grows in the start window,
  // and Sounded holds its answer meanwhile.
  while (runs_.size() >= 2 && runs_[1].deviceStart <= deviceFrame) runs_.pop_front();
  if (runs_.empty()) return 0;
  const Run& run = runs_.front();
  return run.streamStart + std::clamp<std::int64_t>(deviceFrame - run.deviceStart, 0, run.frames);
}

}  // namespace snipwave
