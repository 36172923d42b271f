#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FlacFormat.h"
#include "components/audio/AvHandles.h"

namespace snipwave::flaccopy {

// Samples as FLAC's MD5 takes them: interleaved (`channels` per sample
// frame), each a little-endian signed word of SampleWidth(bits) bytes.
using PcmBytes = std::vector<std::uint8_t>;

// libavcodec's FLAC decoder set up for one stream, fed one whole frame at a
// time. Throws snipwave::Error naming `path` on failure.
class FrameDecoder {
 public:
  FrameDecoder(const StreamInfo& info, std::string path);
  // Decodes the frame at `frame` (`size` bytes) and appends its samples to
  // `out`; returns its block size (sample frames).
  int Decode(const std::uint8_t* frame, std::size_t size, PcmBytes& out);

 private:
  av::CodecContextPtr ctx_;
  av::PacketPtr packet_;
  av::FramePtr decoded_;
  int channels_ = 0;
  int bits_ = 0;
  std::string path_;
};

// Encodes `frameCount` sample frames of PCM at `pcm` as FLAC frames with
// libavcodec's encoder at `compressionLevel` (0..12) and the stream's bits
// per sample, in blocks of near equal size of at most 4608 sample frames
// (none below kMinBlockSize unless the whole is). Each returned frame is
// whole (header to CRC-16) and numbered as the encoder numbers them, from 0;
// every one is decoded again and checked against its samples. Throws
// snipwave::Error naming `path` on failure.
std::vector<std::vector<std::uint8_t>> EncodeFrames(const StreamInfo& info, const std::uint8_t* pcm,
                                                    std::int64_t frameCount, int compressionLevel,
                                                    const std::string& path);

}  // namespace snipwave::flaccopy
