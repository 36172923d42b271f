#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace snipwave::audio {

// A quick look at a whole file without measuring it first: short stretches
// decoded wherever the demuxer's own seek lands (by time, or for MP3 by the
// bit rate's byte estimate), so a 60-minute file can be sampled at a few
// hundred places in a few tens of milliseconds, where the exact reader
// (SourceDecoder) first scans every packet. Positions and the length are the
// container's estimates, and a decoder restarted after a seek lacks its
// history: what this reads serves an overview, never a cut or the exact
// peaks. Opens only regular files, like the exact reader; throws
// snipwave::Error naming the operation, the path and the library's reason.
class SketchReader {
 public:
  explicit SketchReader(std::string path);
  ~SketchReader();
  SketchReader(const SketchReader&) = delete;
  SketchReader& operator=(const SketchReader&) = delete;

  int SampleRate() const { return sampleRate_; }
  int Channels() const { return channels_; }
  // The length in frames as the container estimates it; 0 when it gives none.
  std::int64_t EstimatedFrames() const { return estimatedFrames_; }

  // Appends to `out` up to `frames` frames from about `fraction` (0 to 1) of
  // the file, channels mixed as their mean; returns how many (fewer near the
  // end, 0 when the seek or the decode fails there).
  std::size_t ReadMixedAt(double fraction, std::size_t frames, std::vector<float>& out);

 private:
  struct Input;
  std::string path_;
  std::unique_ptr<Input> in_;
  int sampleRate_ = 0;
  int channels_ = 0;
  std::int64_t estimatedFrames_ = 0;
};

}  // namespace snipwave::audio
