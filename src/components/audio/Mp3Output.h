#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <lame/lame.h>

#include "AvHandles.h"
#include "OutputFile.h"
#include "Resampler.h"

namespace snipwave::audio {

// An MP3 file written by libmp3lame directly. The first frame of the file is
// LAME's Xing/Info frame; at Finish it is overwritten with the final LAME tag
// (lame_get_lametag_frame), whose encoder delay and end padding let a gapless
// decoder (mpg123 --gapless, libavcodec) return exactly the frames written,
// whatever their count. At low constant bit rates (up to 56 kbit/s at
// 44.1 kHz stereo, 48 kbit/s at 22.05 kHz, 16 kbit/s at 8 kHz) a frame of the
// stream's own bit rate cannot hold the tag and LAME leaves it out; the tag
// frame is then written here, at the lowest bit rate whose frame holds it,
// with LAME's delay and padding and the audio frames counted as they pass.
// At 24 kHz and below (576 samples a frame) libavcodec loses the rest of
// the start trim when the end trim begins in the second audio frame, as it
// does for outputs of up to 46 frames: such an output gets 47 frames of
// silence ahead of it, declared in the tag as encoder delay, so that the
// start trim ends on a frame boundary. Output is held back until it is known
// to be longer.
// In variable-bit-rate mode the setup's maxRate bounds every audio frame's
// bit rate. No ID3 tag is written.
class Mp3Output final : public OutputFile {
 public:
  Mp3Output(std::string path, const EncoderSetup& setup, int inRate, int inChannels);
  ~Mp3Output() override;
  Mp3Output(const Mp3Output&) = delete;
  Mp3Output& operator=(const Mp3Output&) = delete;

  void SetInputFormat(int rate, int channels) override;
  void Write(const float* interleaved, std::size_t frames) override;
  void Finish() override;

 private:
  struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  using LamePtr = std::unique_ptr<lame_global_flags, av::AVDeleter<&lame_close>>;

  void Encode(int frames);  // the resampler's current output
  void EncodePlanes(const float* left, const float* right, int frames);
  void Put(const unsigned char* bytes, std::size_t size);
  void Fail(const std::string& operation);
  void PutAudio(const unsigned char* bytes, std::size_t size);
  void WriteOwnTag();

  // The audio frames that pass PutAudio when the tag frame is written here:
  // where each starts (from the tag frame's start), and the music CRC.
  struct FrameTally {
    std::vector<std::int64_t> offsets;
    std::int64_t bytes = 0;          // tag frame and audio so far
    std::int64_t toNextHeader = 0;   // bytes until the next frame's header
    unsigned char header[4] = {};    // the header being read, `have` bytes of it
    int have = 0;
    unsigned char firstHeader[4] = {};
    std::uint16_t crc = 0;
  };

  std::string path_;
  EncoderSetup setup_;
  int inRate_, inChannels_;
  LamePtr lame_;
  std::unique_ptr<std::FILE, FileCloser> file_;
  std::unique_ptr<Resampler> resampler_;
  std::vector<unsigned char> encoded_;
  bool finished_ = false;
  int ownTagBytes_ = 0;  // > 0: the tag frame is written here, this long
  unsigned char formatHeader_[4] = {};  // a frame header of the setup's format
  FrameTally tally_;
  // Short-output hold (24 kHz and below): the first frames, planar, until
  // there are more than the threshold; then released to the encoder.
  bool holding_ = false;
  std::vector<float> held_[2];
  int extraDelay_ = 0;  // silent frames put ahead of the audio
};

}  // namespace snipwave::audio
