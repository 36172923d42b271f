#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "OggStream.h"

namespace snipwave::oggcopy {

// How one range of a stream becomes one output link: which packets are
// copied and how the granule positions count, so that a decoder gives
// exactly reader frames [begin, end). Packet numbers index OggStream::packets;
// positions are frames of the stream's decode timeline.
struct LinkPlan {
  std::size_t first = 0, last = 0;      // packets copied, [first, last]
  std::size_t inFirst = 0, inLast = 0;  // those whose output holds range frames
  // Timeline frame at granule position 0 of the link: a packet's granule is
  // its end minus this.
  std::int64_t base = 0;
  std::int64_t preSkip = 0;        // Opus: the link's OpusHead pre-skip
  std::int64_t finalGranule = 0;   // the last page's, trimming the end
  // Vorbis: the first audio page ends after the second packet, the first
  // with output, whose front the page's granule trims.
  bool firstPageOfTwo = false;
};

// Vorbis: packets from the one before the first with output in the range
// (whose output it overlaps); the first page's granule trims that packet's
// front, the last page's the end. A range inside one packet's output that
// touches neither of its ends cannot be trimmed that way (libvorbis trims
// the end, not the start, of a stream's only page): nullopt with `reason`.
// Opus: packets from 640 ms before the range when the stream has them (a
// pre-roll that lets the decoder's state converge), the pre-skip dropping
// what precedes the range.
std::optional<LinkPlan> PlanLink(const OggStream& stream, std::int64_t begin, std::int64_t end, std::string* reason);

}  // namespace snipwave::oggcopy
