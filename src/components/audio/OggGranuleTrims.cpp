#include "OggGranuleTrims.h"

#include <algorithm>

namespace snipwave::audio {

void TrimOpusFlacByGranules(PacketIndex& index, const OggLayout& layout) {
  // Opus (as opusdec reads it) and FLAC: decoding starts with the first
  // packet. The first page's granule against the frames its packets decode
  // to gives the granule of the first decoded frame (a stream cut from a
  // longer one starts above zero); a first page that is also the last
  // counts from zero, its granule being the end. The last page's granule is
  // the end; the Opus pre-skip is dropped from the front. Frames before
  // granule zero (a first granule below its packets' frames) are dropped too.
  const std::int64_t decoded = index.TotalFrames();
  const std::int64_t firstEnd = index.OutputOffset(static_cast<std::size_t>(layout.audioPacketsToFirstGranule));
  const std::int64_t startGranule = layout.firstPageIsLast ? 0 : layout.firstGranule - firstEnd;
  const std::int64_t start = std::clamp<std::int64_t>(layout.preSkip + std::max<std::int64_t>(0, -startGranule), 0, decoded);
  const std::int64_t end = std::clamp<std::int64_t>(layout.lastGranule - startGranule, start, decoded);
  index.TrimFront(start);
  index.TrimToLength(end - start);
}

void TrimVorbisByGranules(PacketIndex& index, const OggLayout& layout) {
  // The granule positions, not libavformat's reading of them, fix the
  // stream's ends, read as the reference decoder (libvorbis) reads them:
  // - Decoding starts on the first page after the headers. Audio packets that
  //   share the last header page (old encoders put them there) are not part
  //   of the stream, and the first packet after them only fills the
  //   decoder's overlap: their output (`primed` frames) is dropped.
  // - The first granule position against the frames decoded up to it gives
  //   the start. Frames beyond the granule lie before time zero; the decoder
  //   learns of them only with the page's last packet, so they are dropped
  //   from the front of that packet's output (at most all of it). A stream
  //   made for an exact start ends its first page after the second audio
  //   packet, the first one with output, so this is the stream's front.
  // - The last page's granule position is the end. A stream whose first page
  //   is also its last counts from where decoding started and ends at that
  //   page's granule.
  const auto firstPackets = static_cast<std::size_t>(layout.audioPacketsToFirstGranule);
  const auto headerPackets = static_cast<std::size_t>(layout.audioPacketsOnHeaderPage);
  if (headerPackets >= index.Size()) return;
  const std::int64_t decoded = index.TotalFrames();
  const std::int64_t primed = headerPackets > 0 ? index.OutputOffset(headerPackets + 1) : 0;
  // Where the stream ends, in frames of a decode of every packet.
  std::int64_t end = primed + layout.lastGranule;
  std::int64_t beforeZero = 0;
  if (!layout.firstPageIsLast) {
    const std::int64_t firstEnd = index.OutputOffset(firstPackets);
    end = firstEnd + layout.lastGranule - layout.firstGranule;
    beforeZero = firstEnd - primed - layout.firstGranule;
  }
  end = std::clamp<std::int64_t>(end, primed, decoded);
  index.TrimFront(primed);
  const std::int64_t dropped = beforeZero > 0 ? index.TrimPacketFront(firstPackets - 1, beforeZero) : 0;
  index.TrimToLength(std::max<std::int64_t>(0, end - primed - dropped));
}

}  // namespace snipwave::audio
