#pragma once

#include <cstdint>
#include <vector>

#include "BoxWriter.h"
#include "Mp4Track.h"

namespace snipwave::mp4copy {

// Packets per chunk of the output's sample table: about 1.4 s at 48 kHz,
// the interleave most muxers choose.
inline constexpr std::int64_t kPacketsPerChunk = 64;

// What the file holds so far: its first `packets` packets, one after the
// other from the start of the mdat's data, and the edit cut to them
// (duration 0: nothing of the range written yet; no edit list then).
struct Written {
  std::int64_t packets = 0;
  std::vector<std::uint32_t> sizes;  // bytes of each packet
  std::int64_t mediaTime = 0;        // frames of the packets' decode ahead of the edit
  std::int64_t duration = 0;         // frames
};

// The ftyp box: "M4A " with the ISO brands.
void FileType(BoxWriter& b);

// The moov box of an M4A file holding `w` with the sample description of
// `setup`, its first packet at byte `dataStart` of the file: movie and media
// time scales are the sample rate; chunk offsets are 64-bit (co64) when
// `co64`; durations take version-1 fields beyond 32 bits. A non-empty edit
// also gets iTunes' gapless item (delay = media time, padding = the rest).
std::vector<std::uint8_t> Moov(const Mp4Track& setup, const Written& w, std::uint64_t dataStart, bool co64);

}  // namespace snipwave::mp4copy
