#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Mp3Frames.h"

namespace snipwave::mp3copy {

// How the re-encoded edges of a frame copy are made: as close to the source
// as LAME gets (its bit rate, or a VBR quality).
struct EdgeEncoding {
  enum class Mode { Constant, Average, Variable };
  int sampleRate = 44100;
  int channels = 2;
  Mode mode = Mode::Variable;
  int kbps = 128;       // the constant or average bit rate
  int vbrQuality = 2;   // 0 best ... 9 worst, for Variable
};

// The edge encoding that matches a source: the VBR quality or average bit
// rate its LAME tag names, else its bit rate when every frame has the same,
// else its average bit rate.
EdgeEncoding EdgeEncodingFor(const Mp3Stream& stream);

using FrameBytes = std::vector<std::uint8_t>;

// libmp3lame set up as EdgeEncodingFor says, fed the sound piece by piece
// (interleaved float, `encoding.channels` per frame) and handing out whole
// frames as they are done, so that a long re-encode holds only a piece of
// its sound and a few frames at a time. With `forJoints`, LAME's bit
// reservoir is off, so that every frame can stand next to frames of another
// stream, and only long blocks are used, so that its first and last frames
// overlap a neighbour's long windows. No tag frame. Throws snipwave::Error
// naming `path`.
class EdgeEncoder {
 public:
  EdgeEncoder(const EdgeEncoding& encoding, bool forJoints, std::string path);
  ~EdgeEncoder();
  EdgeEncoder(const EdgeEncoder&) = delete;
  EdgeEncoder& operator=(const EdgeEncoder&) = delete;

  // LAME's encoder delay: input sample i decodes at raw sample
  // i + Delay() + 529 of the frames handed out.
  int Delay() const { return delay_; }
  // Encodes `pcm`; the frames it completes are appended to `frames`.
  void Encode(const std::vector<float>& pcm, std::vector<FrameBytes>& frames);
  // Ends the stream: the frames still inside the encoder are appended.
  void Flush(std::vector<FrameBytes>& frames);

 private:
  void TakeFrames(std::size_t bytes, std::vector<FrameBytes>& frames);

  struct Lame;
  std::unique_ptr<Lame> lame_;
  int channels_ = 2;
  int delay_ = 0;
  std::string path_;
  std::vector<unsigned char> out_;      // LAME's output buffer
  std::vector<std::uint8_t> partial_;   // bytes of a frame not yet whole
};

}  // namespace snipwave::mp3copy
