#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "components/audio/AvHandles.h"

namespace snipwave::mp4copy {

struct Mp4Track;

// Decodes a copy's AAC packets in the order the output holds them, as a
// player of the output decodes them, and tells which ones the decoder
// rejects. A player drops such a packet, so a copy holding one decodes
// shorter than its edit list says; the reader of the source stands silence
// in for it (a re-encoded range then holds that silence, exactly as long).
class PacketCheck {
 public:
  // A decoder for `track`'s AudioSpecificConfig; throws snipwave::Error
  // naming `path` when libavcodec cannot open one.
  PacketCheck(const Mp4Track& track, const std::string& path);
  // True when the packet decodes to one whole frame (kFramesPerPacket sample frames).
  bool Decodes(const std::uint8_t* data, std::size_t size);

 private:
  std::string path_;
  av::CodecContextPtr codec_;
  av::PacketPtr packet_;
  av::FramePtr frame_;
};

}  // namespace snipwave::mp4copy
