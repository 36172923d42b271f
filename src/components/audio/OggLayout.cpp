#include "OggLayout.h"

#include <unistd.h>

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

bool StartsVorbisStream(int fd, const Page& page) {
  if (!(page.flags & 0x02) || page.bodySize < 7) return false;
  std::uint8_t id[7] = {};
  return ReadAt(fd, page.offset + static_cast<std::int64_t>(kHeaderBytes + page.lacing.size()), id, sizeof id) &&
         std::memcmp(id, "\x01vorbis", 7) == 0;
}

}  // namespace

std::uint32_t OggPageChecksum(const std::uint8_t* page, std::size_t size) {
  static const auto table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t r = i << 24;
      for (int k = 0; k < 8; ++k) r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
      t[i] = r;
    }
    return t;
  }();
  std::uint32_t crc = 0;
  for (std::size_t i = 0; i < size; ++i) {
    const std::uint8_t byte = (i >= 22 && i < 26) ? 0 : page[i];
    crc = (crc << 8) ^ table[((crc >> 24) ^ byte) & 0xFF];
  }
  return crc;
}

std::optional<OggLayout> ReadOggLayout(int fd) {
  OggLayout layout;
  bool haveSerial = false;
  std::uint32_t serial = 0;
  std::int64_t packetsEnded = 0;  // of the first Vorbis stream, headers included
  bool firstFound = false;
  std::optional<Page> headerPage;  // the page completing the headers, when it also completes audio packets
  bool headersDone = false;
  std::vector<Page> granulePages;  // the stream's last few pages with a granule, newest last
  for (std::int64_t offset = 0;;) {
    std::optional<Page> page = NextPage(fd, offset);
    if (!page) break;
    offset = page->offset + page->Size();
    if (StartsVorbisStream(fd, *page)) {
      ++layout.vorbisStreams;
      if (!haveSerial) {
        haveSerial = true;
        serial = page->serial;
      }
    }
    if (!haveSerial || page->serial != serial || layout.vorbisStreams > 1) continue;
    packetsEnded += page->PacketsEnded();
    // Three header packets (identification, comment, setup) come first.
    const bool isHeaderPage = !headersDone && packetsEnded >= 3;
    if (isHeaderPage) {
      headersDone = true;
      if (packetsEnded > 3) {
        layout.audioPacketsOnHeaderPage = packetsEnded - 3;
        headerPage = *page;
      }
    }
    if (page->granule == -1) continue;
    if (!firstFound && packetsEnded > 3 && !isHeaderPage && ChecksumOk(fd, *page)) {
      firstFound = true;
      layout.firstGranule = page->granule;
      layout.audioPacketsToFirstGranule = packetsEnded - 3;
      layout.firstPageIsLast = page->flags & 0x04;
    }
    if (packetsEnded > 3) {
      granulePages.push_back(std::move(*page));
      if (granulePages.size() > 8) granulePages.erase(granulePages.begin());
    }
  }
  if (!haveSerial) return std::nullopt;
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
  return layout;
}

}  // namespace snipwave::audio
