#pragma once

#include <cstdint>
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

struct EncodedFrames {
  // LAME's encoder delay: input sample i decodes at raw sample
  // i + delay + 529 of the frames below.
  int delay = 0;
  std::vector<std::vector<std::uint8_t>> frames;  // each a whole frame, main data in its own slot
};

// Encodes `pcm` (interleaved float, `encoding.channels` per frame). With
// `forJoints`, LAME's bit reservoir is off, so that every frame can stand
// next to frames of another stream, and only long blocks are used, so that
// its first and last frames overlap a neighbour's long windows. No tag frame. Throws snipwave::Error naming `path`.
EncodedFrames EncodeEdge(const EdgeEncoding& encoding, const std::vector<float>& pcm, bool forJoints,
                         const std::string& path);

}  // namespace snipwave::mp3copy
