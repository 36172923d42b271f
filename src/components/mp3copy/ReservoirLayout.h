#pragma once

#include <cstdint>
#include <vector>

#include "EdgeEncoder.h"

namespace snipwave::mp3copy {

// Lays out the main data of `frames` again so that the byte stream of their
// slots ends with `reservoir`: the bytes that the copied frame after them
// takes from before its own slot (its main_data_begin and the reach of the
// frames after it). `frames` come from an encoder without bit reservoir, each
// with its main data at the start of its own slot. A frame's main data may
// move back into the slots before it (up to main_data_begin's limit, 511
// bytes for MPEG-1, 255 for MPEG-2), and a frame whose slot is too small
// grows to a higher bit rate; the first frame keeps its main data in its
// own slot, so that nothing before `frames` is touched. The decode does not
// change. False, with `frames` as they were, when even 320 kbit/s (160 for
// MPEG-2) leaves no room.
bool LeadInto(std::vector<FrameBytes>& frames, const std::vector<std::uint8_t>& reservoir);

}  // namespace snipwave::mp3copy
