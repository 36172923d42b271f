#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace snipwave::audio {

// The audio codecs whose Ogg mapping the reader knows: how many header
// packets open a stream and how granule positions count.
enum class OggCodec { kVorbis, kOpus, kFlac };

// What the page headers of an Ogg file (or of one link of a chained file) say
// about its first audio stream, read without decoding: the granule positions
// (PCM positions at the end of the last packet completed on a page) that fix
// where the stream's audio starts and ends.
struct OggLayout {
  OggCodec codec = OggCodec::kVorbis;
  // Audio streams of a known codec that begin in the range (more than one:
  // multiplexed streams).
  int audioStreams = 0;
  // Header packets before the audio: 3 for Vorbis, 2 for Opus (OpusHead,
  // OpusTags), 1 + the metadata packets the FLAC mapping header announces.
  std::int64_t headerPackets = 3;
  // Opus: frames (at 48 kHz) the decoder's output starts with that are no
  // part of the audio (OpusHead's pre-skip). 0 for the others.
  std::int64_t preSkip = 0;
  // Audio packets completed on the page that completes the header
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

// Walks the page headers of bytes [begin, end) of an open file (checksums
// verified on the two pages whose granules are used); nullopt when no Vorbis,
// Opus or FLAC stream begins there.
std::optional<OggLayout> ReadOggLayout(int fd, std::int64_t begin = 0, std::int64_t end = INT64_MAX);

// One link of a chained Ogg file: the byte range from a group of
// beginning-of-stream pages up to the next such group (or the file's end).
// A plain file is one link.
struct OggLinkRange {
  std::int64_t begin = 0;
  std::int64_t end = 0;
};

// The links of an Ogg file in order (empty when no Ogg page is found).
std::vector<OggLinkRange> FindOggLinks(int fd);

// Reads `size` bytes at `offset` of an open file, however many reads that
// takes; false when the file ends first or a read fails.
bool ReadAt(int fd, std::int64_t offset, void* data, std::size_t size);

// The Ogg page checksum (CRC-32, polynomial 0x04C11DB7, not reflected, the
// checksum field taken as zero).
std::uint32_t OggPageChecksum(const std::uint8_t* page, std::size_t size);

}  // namespace snipwave::audio
