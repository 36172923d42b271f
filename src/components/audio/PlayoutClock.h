#pragma once

#include <chrono>
#include <cstdint>
#include <deque>

namespace snipwave {

// Which frames of a stream a callback-driven sound device has sounded.
//
// The device asks for its buffer a period at a time; what one callback hands
// over is silence, then frames of the stream, then silence (any part may be
// empty). When a callback starts, the device still holds `latency` frames of
// what was handed before (its driver's and sound server's buffers), so the
// frame sounding then is the one `latency` frames before everything handed;
// until the next callback it moves on in real time, by at most what that
// callback handed. Frames are counted from the start of the device ("device
// frames", silence included) or of the stream ("stream frames").
//
// The latency is at least the one given. A device that buffers more shows it
// as it starts: it takes frames faster than it can play them, and what it
// took ahead of real time in its first second it holds (frames it has been
// handed minus what real time since the first callback could have played).
//
// Not thread-safe: the owner serialises the callback and its readers.
class PlayoutClock {
 public:
  using Time = std::chrono::steady_clock::time_point;

  PlayoutClock(int sampleRate, std::int64_t minimumLatency) : rate_(sampleRate), latency_(minimumLatency) {}

  // One callback, started at `now`, handing `frames` frames: `silenceBefore`
  // frames of silence, then `streamFrames` frames of the stream, then silence.
  void Handed(Time now, std::int64_t frames, std::int64_t silenceBefore, std::int64_t streamFrames);

  // Stream frames sounded by `now`; never less than an earlier answer.
  std::int64_t Sounded(Time now);
  // Stream frames handed to the device so far.
  std::int64_t StreamHanded() const { return streamHanded_; }
  // True once the device had sounded every stream frame handed before the
  // last callback, as that callback started.
  bool PlayedOut() const { return atLastCallback_ >= streamEnd_; }
  // Frames the device holds beyond the period it is being handed.
  std::int64_t Latency() const { return latency_; }

 private:
  // A run of stream frames in the device's frames.
  struct Run {
    std::int64_t deviceStart;
    std::int64_t streamStart;
    std::int64_t frames;
  };
  std::int64_t StreamAt(std::int64_t deviceFrame);

  int rate_;
  std::int64_t latency_;
  std::int64_t handed_ = 0;          // device frames handed
  std::int64_t streamHanded_ = 0;    // stream frames handed
  std::int64_t streamEnd_ = 0;       // device frame after the last stream frame handed
  std::int64_t atLastCallback_ = 0;  // device frame sounding as the last callback started (may be < 0)
  std::int64_t lastFrames_ = 0;      // frames the last callback handed
  Time firstCallback_{};
  Time lastCallback_{};
  bool started_ = false;
  std::int64_t sounded_ = 0;  // the last answer of Sounded
  std::deque<Run> runs_;      // from the one sounding now on
};

}  // namespace snipwave
