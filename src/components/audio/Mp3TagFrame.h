#pragma once

#include <cstdint>
#include <vector>

namespace snipwave::audio {

// What the Xing/Info frame at the head of a written MP3 stream says.
struct TagFrameFacts {
  bool variableBitrate = false;   // "Xing" when true, "Info" otherwise
  int bitrateKbps = 0;            // the stream's (average) bit rate, for the LAME field
  std::int64_t audioFrames = 0;   // frames after the tag frame
  std::int64_t streamBytes = 0;   // tag frame plus audio frames
  std::vector<std::int64_t> frameOffsets;  // each audio frame's offset from the tag frame's start
  int delay = 0;                  // encoder delay, samples (0..4095)
  int padding = 0;                // end padding, samples (0..4095)
  std::uint16_t musicCrc = 0;     // CRC-16 of the audio frames' bytes
};

// The size of the tag frame for a stream whose frames have the header
// `streamHeader`: the shortest frame of that format (version, sample rate,
// channel mode; any bit rate) that holds the tag. A stream whose own frames
// are shorter (low bit rates) still gets a tag frame of this size: decoders
// read the tag from the first frame whatever its bit rate.
int TagFrameBytes(const std::uint8_t* streamHeader);

// The Xing/Info frame with LAME's extension (delay, padding, CRCs), in the
// format of `streamHeader`, `TagFrameBytes` long. Decoders trim the delay
// plus their own 529 samples off the front and the padding off the end.
std::vector<std::uint8_t> BuildTagFrame(const std::uint8_t* streamHeader, const TagFrameFacts& facts);

// Sets the encoder delay in the LAME extension of a whole tag frame (as
// lame_get_lametag_frame or BuildTagFrame gives it), the padding kept, and
// renews the tag's CRC. False when the frame holds no LAME tag.
bool SetTagDelay(std::uint8_t* frame, std::size_t size, int delay);

// CRC-16 as the LAME tag uses it (polynomial 0x8005, reflected, start 0).
std::uint16_t Crc16(std::uint16_t crc, const std::uint8_t* data, std::size_t size);

}  // namespace snipwave::audio
