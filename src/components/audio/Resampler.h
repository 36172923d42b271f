#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "AvHandles.h"

namespace snipwave::audio {

// Converts interleaved float32 frames to another sample rate, channel count
// and sample format (libswresample). Holds the filter's history between calls;
// Flush() returns the tail, so nothing is lost at the end of a stream.
//
// Channel mix: stereo to mono is (L + R) / 2 and mono to stereo copies the one
// channel to both. libswresample's default downmix, (L + R) x 0.707, gains 3 dB
// on centred material and clips full-scale stereo once the result is stored
// as integers; the plain average never clips and keeps a dual-mono file at
// its level, which is what a cutter that converts between files must do.
class Resampler {
 public:
  Resampler(int inRate, int inChannels, int outRate, int outChannels, AVSampleFormat outFormat,
            const std::string& path);

  int OutRate() const { return outRate_; }
  int OutChannels() const { return outChannels_; }

  // Converts `frames` input frames (nullptr/0 drains the filter); the result
  // stays in the scratch planes until the next call: Planes(), returns frames.
  int Convert(const float* in, int frames);
  int Flush() { return Convert(nullptr, 0); }
  std::uint8_t* const* Planes() const { return scratch_.data(); }

  // Convenience for float32 interleaved output: appends to `out`.
  void ConvertAppend(const float* in, int frames, std::vector<float>& out);
  void FlushAppend(std::vector<float>& out);

 private:
  void Reserve(int frames);

  av::SwrPtr swr_;
  int outRate_, outChannels_;
  AVSampleFormat outFormat_;
  std::string path_;
  std::vector<std::uint8_t*> scratch_;
  std::vector<std::vector<std::uint8_t>> storage_;
  int capacity_ = 0;
};

}  // namespace snipwave::audio
