#pragma once

#include <cstddef>
#include <cstdint>

namespace snipwave::mp3copy {

// One step of a Layer III frame's global_gain field: the decoder scales by
// 2^(1/4), 1.505 dB.
inline constexpr double kGlobalGainStepDb = 1.5051499783199060;

// Adds `steps` to the global_gain (8 bits per granule and channel, in the side
// information) of the Layer III frame at `frame` (its 4-byte header first,
// `size` bytes at least up to the end of the side information), and writes
// the frame's CRC again when it has one. A gain changes nothing else of the
// frame: the main data is untouched, so the frame keeps its bytes in the bit
// reservoir. False, with nothing changed, when a field would leave 0..255 or
// the bytes are no Layer III frame.
bool AddGlobalGain(std::uint8_t* frame, std::size_t size, int steps);

}  // namespace snipwave::mp3copy
