#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "EncoderSetup.h"

namespace snipwave::audio {

// One output file being written. Incoming data is interleaved float32 at the
// input rate and channel count; the file gets the setup's rate, channels and
// codec. Finish() completes the file (all buffered audio encoded, headers
// final); an output destroyed without Finish() still finishes, so an aborted
// job leaves a complete, playable file. Every failure throws snipwave::Error
// naming the path.
class OutputFile {
 public:
  virtual ~OutputFile() = default;
  // The data written next has this format; what the old format still holds
  // in the conversion is written first.
  virtual void SetInputFormat(int rate, int channels) = 0;
  virtual void Write(const float* interleaved, std::size_t frames) = 0;
  virtual void Finish() = 0;
};

// Creates (or replaces) the file with the writer that suits the setup: MP3
// through libmp3lame itself, everything else through libavformat/libavcodec.
// Throws snipwave::Error and leaves no file behind when it cannot.
std::unique_ptr<OutputFile> CreateOutputFile(const std::string& path, const EncoderSetup& setup, int inRate,
                                             int inChannels);

}  // namespace snipwave::audio
