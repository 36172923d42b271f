#pragma once

#include <cstddef>
#include <cstdint>

namespace snipwave::audio {

// The containers (libavformat demuxer names) the exact reader takes; what a
// file is comes from the probe of its content, the extension only breaks ties.
bool IsAcceptedContainer(const char* name);

// What a file that is none of them is told.
inline constexpr const char* kUnsupportedFile =
    "not an MP3, WAV, WMA, OGG, FLAC, AIFF, M4A (AAC or ALAC) or AAC audio file";

// Whether `data` (`size` bytes) begins with a FLAC frame header: the sync
// code, fields that are all allowed and a CRC-8 that checks. A FLAC stream
// captured without its "fLaC" marker and metadata starts so; libavformat's
// probe gives such a stream only a low score. `bitsPerSample` (optional)
// gets the header's sample size: 0 when the header defers to STREAMINFO.
bool StartsWithFlacFrame(const std::uint8_t* data, std::size_t size, int* bitsPerSample = nullptr);

}  // namespace snipwave::audio
