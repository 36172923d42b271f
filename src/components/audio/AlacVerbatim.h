#pragma once

#include <cstdint>
#include <vector>

namespace snipwave::audio {

// One ALAC frame in verbatim (uncompressed) form: each channel element
// (single or pair, in ALAC's channel order for the channel count) with its
// sample count in the header, then the samples as they are, then the end
// tag. Used for the short last frame of an ALAC stream: FFmpeg 5.1's ALAC
// encoder sizes its packet for one element header, so a last frame of a few
// samples in three or more channels (several elements) overruns the packet
// and aborts the process. `planes` hold `frames` samples per channel in
// FFmpeg's channel order: int16 when `bits` is 16, int32 holding the sample
// in its top 24 bits when `bits` is 24. 1 to 8 channels.
std::vector<std::uint8_t> AlacVerbatimFrame(const std::uint8_t* const* planes, int channels, int frames, int bits);

}  // namespace snipwave::audio
