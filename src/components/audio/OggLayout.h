#pragma once

#include <cstdint>
#include <optional>

namespace snipwave::audio {

// What the page headers of an Ogg Vorbis file say about its first Vorbis
// stream, read without decoding: the granule positions (PCM positions at the
// end of the last packet completed on a page) that fix where the stream's
// audio starts and ends.
struct OggLayout {
  // Vorbis streams that begin in the file (more than one: a chained file,
  // several files joined one after another, or multiplexed streams).
  int vorbisStreams = 0;
  // Audio packets completed on the page that completes the three header
  // packets. A correctly framed stream has none (its audio starts on a fresh
  // page); some old encoders put the first audio packets there, and the
  // reference decoder (libvorbisfile) starts decoding on the next page.
  // 0 as well when no later page has a granule position: the header page is
  // then the first page below.
  std::int64_t audioPacketsOnHeaderPage = 0;
  // The first page with a granule position after the header page (or the
  // header page itself when audioPacketsOnHeaderPage is 0 and it carries
  // audio): its granule position, the audio packets completed up to and
  // including it (those on the header page counted), and whether it is also
  // the stream's last page.
  std::int64_t firstGranule = -1;
  std::int64_t audioPacketsToFirstGranule = 0;
  bool firstPageIsLast = false;
  // Granule position of the stream's last page that has one.
  std::int64_t lastGranule = -1;
  // Audio packets completed on that last page.
  std::int64_t audioPacketsOnLastPage = 0;
};

// Walks the page headers of an open file (checksums verified on the two
// pages whose granules are used); nullopt when no Vorbis stream is found.
std::optional<OggLayout> ReadOggLayout(int fd);

// The Ogg page checksum (CRC-32, polynomial 0x04C11DB7, not reflected, the
// checksum field taken as zero).
std::uint32_t OggPageChecksum(const std::uint8_t* page, std::size_t size);

}  // namespace snipwave::audio
