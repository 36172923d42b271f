#pragma once

#include <cstdint>
#include <string>

namespace snipwave::audio {

// The iTunes gapless comment of an MP4 file: the freeform item
// "----:com.apple.iTunes:iTunSMPB", whose text gives in hexadecimal the
// encoder delay (priming frames ahead of the audio), the padding after it and
// the audio's length in frames. Players that do not read edit lists (iTunes
// and most hardware) trim by it. Written into a finished file (TagLib moves
// the audio and corrects the chunk offsets when the sample table grows).
// Throws snipwave::Error naming `path`.
void WriteItunesGapless(const std::string& path, std::int64_t delay, std::int64_t padding, std::int64_t length);

// The item's text: " 00000000 DDDDDDDD PPPPPPPP LLLLLLLLLLLLLLLL" and eight
// zero fields, as iTunes writes it.
std::string ItunesGaplessText(std::int64_t delay, std::int64_t padding, std::int64_t length);

// The item's key in TagLib's MP4 item map.
inline constexpr const char* kItunesGaplessKey = "----:com.apple.iTunes:iTunSMPB";

}  // namespace snipwave::audio
