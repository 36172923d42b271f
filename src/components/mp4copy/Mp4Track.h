#pragma once

#include <cstdint>
#include <vector>

namespace snipwave::mp4copy {

// AAC-LC packets decode to this many sample frames each.
inline constexpr std::int64_t kFramesPerPacket = 1024;

// What a copy needs of a source's AAC track: where each packet lies and how
// the reader's frames sit on the packets' decode.
struct Mp4Track {
  int sampleRate = 0;  // Hz; the media time scale equals it
  int channels = 0;
  std::vector<std::uint8_t> sampleDescription;   // the whole stsd box, header included
  std::vector<std::uint8_t> audioSpecificConfig;  // from the esds
  std::vector<std::int64_t> offsets;  // file byte offset of each packet
  std::vector<std::uint32_t> sizes;   // bytes of each packet
  std::int64_t delay = 0;   // media frames ahead of reader frame 0
  std::int64_t length = 0;  // reader frames
};

}  // namespace snipwave::mp4copy
