#include "OggLayout.h"

extern "C" {
#include <libavutil/bswap.h>
#include <libavutil/crc.h>
}

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace snipwave::audio {

namespace {

constexpr std::size_t kHeaderBytes = 27;
constexpr std::int64_t kResyncChunk = 64 * 1024;

std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}


struct Page {
  std::int64_t offset = 0;
  std::uint8_t flags = 0;
  std::int64_t granule = -1;
  std::uint32_t serial = 0;
  std::vector<std::uint8_t> lacing;
  std::int64_t bodySize = 0;
  std::int64_t Size() const { return static_cast<std::int64_t>(kHeaderBytes + lacing.size()) + bodySize; }
  int PacketsEnded() const {
    int n = 0;
    for (std::uint8_t l : lacing) n += l < 255;
    return n;
  }
};

// The page at `offset`, or the next one after it when garbage lies between.
std::optional<Page> NextPage(int fd, std::int64_t offset) {
  std::array<std::uint8_t, kHeaderBytes> h{};
  for (;;) {
    if (!ReadAt(fd, offset, h.data(), h.size())) return std::nullopt;
    if (std::memcmp(h.data(), "OggS", 4) == 0 && h[4] == 0) break;
    // Resynchronise on the next capture pattern.
    std::vector<std::uint8_t> chunk(kResyncChunk);
    const ssize_t got = ::pread(fd, chunk.data(), chunk.size(), offset + 1);
    if (got < 4) return std::nullopt;
    const std::uint8_t* end = chunk.data() + got;
    const std::uint8_t* found = nullptr;
    for (const std::uint8_t* p = chunk.data(); p + 4 <= end; ++p) {
      if (std::memcmp(p, "OggS", 4) == 0) {
        found = p;
        break;
      }
    }
    offset += 1 + (found ? found - chunk.data() : got - 3);
  }
  Page page;
  page.offset = offset;
  page.flags = h[5];
  std::uint64_t g = 0;
  for (int i = 7; i >= 0; --i) g = g << 8 | h[6 + static_cast<std::size_t>(i)];
  page.granule = static_cast<std::int64_t>(g);
  page.serial = Le32(h.data() + 14);
  page.lacing.resize(h[26]);
  if (!page.lacing.empty() && !ReadAt(fd, offset + static_cast<std::int64_t>(kHeaderBytes), page.lacing.data(),
                                      page.lacing.size())) {
    return std::nullopt;
  }
  for (std::uint8_t l : page.lacing) page.bodySize += l;
  return page;
}

bool ChecksumOk(int fd, const Page& page) {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(page.Size()));
  if (!ReadAt(fd, page.offset, bytes.data(), bytes.size())) return false;
  const std::uint32_t stored = Le32(bytes.data() + 22);
  return OggPageChecksum(bytes.data(), bytes.size()) == stored;
}

std::int64_t BodyOffset(const Page& page) {
  return page.offset + static_cast<std::int64_t>(kHeaderBytes + page.lacing.size());
}

// The codec a beginning-of-stream page opens, with what its first packet says
// about the layout (header packets, pre-skip); nullopt for other streams.
std::optional<OggLayout> StreamStart(int fd, const Page& page) {
  if (!(page.flags & 0x02) || page.bodySize < 7) return std::nullopt;
  std::uint8_t id[19] = {};
  const auto size = static_cast<std::size_t>(std::min<std::int64_t>(page.bodySize, sizeof id));
  if (!ReadAt(fd, BodyOffset(page), id, size)) return std::nullopt;
  OggLayout layout;
  if (std::memcmp(id, "\x01vorbis", 7) == 0) {
    layout.codec = OggCodec::kVorbis;
    layout.headerPackets = 3;
  } else if (size >= 19 && std::memcmp(id, "OpusHead", 8) == 0) {
    layout.codec = OggCodec::kOpus;
    layout.headerPackets = 2;
    layout.preSkip = id[10] | id[11] << 8;
  } else if (size >= 13 && std::memcmp(id, "\x7F" "FLAC", 5) == 0) {
    // Mapping 1.0: the count of metadata packets after this one, big-endian.
    layout.codec = OggCodec::kFlac;
    layout.headerPackets = 1 + (id[7] << 8 | id[8]);
  } else {
    return std::nullopt;
  }
  return layout;
}

}  // namespace

bool ReadAt(int fd, std::int64_t offset, void* data, std::size_t size) {
  auto* out = static_cast<std::uint8_t*>(data);
  while (size > 0) {
    const ssize_t got = ::pread(fd, out, size, offset);
    if (got <= 0) return false;
    out += got;
    size -= static_cast<std::size_t>(got);
    offset += got;
  }
  return true;
}

std::uint32_t OggPageChecksum(const std::uint8_t* page, std::size_t size) {
  // libavutil's table-driven CRC (its non-reflected IEEE polynomial is
  // Ogg's); the checksum field itself counts as zeros.
  static const AVCRC* const table = av_crc_get_table(AV_CRC_32_IEEE);
  static constexpr std::uint8_t kZeros[4] = {};
  std::uint32_t crc = av_crc(table, 0, page, std::min<std::size_t>(size, 22));
  if (size > 22) crc = av_crc(table, crc, kZeros, std::min<std::size_t>(size, 26) - 22);
  if (size > 26) crc = av_crc(table, crc, page + 26, size - 26);
  return av_bswap32(crc);  // libavutil keeps a big-endian CRC byte-swapped
}

std::optional<OggLayout> ReadOggLayout(int fd, std::int64_t begin, std::int64_t end) {
  std::optional<OggLayout> found;
  int audioStreams = 0;
  std::uint32_t serial = 0;
  std::int64_t packetsEnded = 0;  // of the first audio stream, headers included
  bool firstFound = false;
  std::optional<Page> headerPage;  // the page completing the headers, when it also completes audio packets
  bool headersDone = false;
  std::vector<Page> granulePages;  // the stream's last few pages with a granule, newest last
  for (std::int64_t offset = begin; offset < end;) {
    std::optional<Page> page = NextPage(fd, offset);
    if (!page || page->offset >= end) break;
    offset = page->offset + page->Size();
    if (std::optional<OggLayout> start = StreamStart(fd, *page)) {
      ++audioStreams;
      if (!found) {
        found = start;
        serial = page->serial;
      }
    }
    if (!found || page->serial != serial || audioStreams > 1) continue;
    OggLayout& layout = *found;
    const std::int64_t headers = layout.headerPackets;
    packetsEnded += page->PacketsEnded();
    const bool isHeaderPage = !headersDone && packetsEnded >= headers;
    if (isHeaderPage) {
      headersDone = true;
      if (packetsEnded > headers) {
        layout.audioPacketsOnHeaderPage = packetsEnded - headers;
        headerPage = *page;
      }
    }
    if (page->granule == -1) continue;
    if (!firstFound && packetsEnded > headers && !isHeaderPage && ChecksumOk(fd, *page)) {
      firstFound = true;
      layout.firstGranule = page->granule;
      layout.audioPacketsToFirstGranule = packetsEnded - headers;
      layout.firstPageIsLast = page->flags & 0x04;
    }
    if (packetsEnded > headers) {
      granulePages.push_back(std::move(*page));
      if (granulePages.size() > 8) granulePages.erase(granulePages.begin());
    }
  }
  if (!found) return std::nullopt;
  OggLayout& layout = *found;
  layout.audioStreams = audioStreams;
  if (!firstFound && headerPage && headerPage->granule != -1 && ChecksumOk(fd, *headerPage)) {
    // All the audio sits on the header page: it is read as it is.
    layout.firstGranule = headerPage->granule;
    layout.audioPacketsToFirstGranule = layout.audioPacketsOnHeaderPage;
    layout.firstPageIsLast = headerPage->flags & 0x04;
    layout.audioPacketsOnHeaderPage = 0;
  }
  for (auto it = granulePages.rbegin(); it != granulePages.rend(); ++it) {
    if (ChecksumOk(fd, *it)) {
      layout.lastGranule = it->granule;
      layout.audioPacketsOnLastPage = it->PacketsEnded();
      break;
    }
  }
  return found;
}

std::vector<OggLinkRange> FindOggLinks(int fd) {
  // A link starts with its streams' beginning-of-stream pages; a BOS page
  // after any other page starts the next link.
  std::vector<OggLinkRange> links;
  bool lastWasBos = false;
  std::int64_t offset = 0;
  for (;;) {
    std::optional<Page> page = NextPage(fd, offset);
    if (!page) break;
    const bool bos = page->flags & 0x02;
    if (bos && !lastWasBos) {
      if (!links.empty()) links.back().end = page->offset;
      links.push_back({page->offset, page->offset});
    }
    lastWasBos = bos;
    offset = page->offset + page->Size();
    if (!links.empty()) links.back().end = offset;
  }
  return links;
}

}  // namespace snipwave::audio
