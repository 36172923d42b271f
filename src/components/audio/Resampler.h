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
// Length: a stream of n input frames becomes n x outRate / inRate output
// frames rounded to the nearest (halves up), the same rule whatever the
// caller. (libswresample's own flush rounds up.)
//
// Channel mix: stereo to mono is (L + R) / 2 and mono to stereo copies the one
// channel to both. libswresample's default downmix, (L + R) x 0.707, gains 3 dB
// on centred material and clips full-scale stereo once the result is stored
// as integers; the plain average never clips and keeps a dual-mono file at
// its level, which is what a cutter that converts between files must do.
// Every other pair of channel counts (any count up to kMaxChannels) is mixed
// by libswresample's own matrix between the counts' default layouts.
class Resampler {
 public:
  static constexpr int kMaxChannels = 25;  // the most a default layout below names

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
  int Drain();  // the filter's tail, exactly up to the stream's rounded length
  int TrimToLength(int produced);
  std::int64_t RoundedLength() const;

  std::int64_t inFrames_ = 0;   // input frames taken so far
  std::int64_t outFrames_ = 0;  // output frames handed out so far
  int inRate_;

  av::SwrPtr swr_;
  int outRate_, outChannels_;
  AVSampleFormat outFormat_;
  std::string path_;
  std::vector<std::uint8_t*> scratch_;
  std::vector<std::vector<std::uint8_t>> storage_;
  int capacity_ = 0;
};

// The layout a bare channel count stands for: FFmpeg's default for the
// count, else the count's channels in the usual speaker order, paired
// channels kept in pairs (left and right of a pair both or neither), so that
// libswresample can build a mix for it. Caller uninits the layout.
void DefaultChannelLayout(AVChannelLayout* layout, int channels);

}  // namespace snipwave::audio
