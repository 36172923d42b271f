#include <unistd.h>

#include <array>
#include <cstring>

#include "OggPageWalk.h"
#include "components/audio/OggLayout.h"

namespace snipwave::oggcopy {

namespace {

constexpr std::size_t kHeaderBytes = 27;
constexpr std::uint8_t kContinued = 0x01, kBeginning = 0x02, kEnd = 0x04;

std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}


}  // namespace

bool WalkOggPackets(int fd, std::int64_t size, OggPacketWalk* walk, std::string* reason) {
  *walk = OggPacketWalk{};
  std::vector<std::uint8_t> page;
  std::uint32_t expectedSequence = 0;
  bool open = false;          // a packet continues onto the next page
  bool ended = false;         // the end-of-stream page has been read
  OggPacketWalk::Packet partial;
  std::uint32_t packetsEnded = 0;
  for (std::int64_t offset = 0; offset < size;) {
    std::array<std::uint8_t, kHeaderBytes> h{};
    if (size - offset < static_cast<std::int64_t>(kHeaderBytes) || !audio::ReadAt(fd, offset, h.data(), h.size())) {
      *reason = "it ends in the middle of an Ogg page";
      return false;
    }
    if (std::memcmp(h.data(), "OggS", 4) != 0 || h[4] != 0) {
      *reason = offset == 0 ? "it is no Ogg file" : "it has bytes between its Ogg pages (it is damaged)";
      return false;
    }
    const std::size_t segments = h[26];
    std::size_t pageSize = kHeaderBytes + segments;
    page.assign(h.begin(), h.end());
    page.resize(pageSize);
    if (!audio::ReadAt(fd, offset + static_cast<std::int64_t>(kHeaderBytes), page.data() + kHeaderBytes, segments)) {
      *reason = "it ends in the middle of an Ogg page";
      return false;
    }
    std::size_t body = 0;
    for (std::size_t i = 0; i < segments; ++i) body += page[kHeaderBytes + i];
    page.resize(pageSize + body);
    if (offset + static_cast<std::int64_t>(pageSize + body) > size ||
        !audio::ReadAt(fd, offset + static_cast<std::int64_t>(pageSize), page.data() + pageSize, body)) {
      *reason = "it ends in the middle of an Ogg page";
      return false;
    }
    if (audio::OggPageChecksum(page.data(), page.size()) != Le32(page.data() + 22)) {
      *reason = "one of its Ogg pages is damaged (its checksum does not match)";
      return false;
    }
    const std::uint8_t flags = page[5];
    const std::uint32_t serial = Le32(page.data() + 14);
    const std::uint32_t sequence = Le32(page.data() + 18);
    std::uint64_t granule = 0;
    for (int i = 7; i >= 0; --i) granule = granule << 8 | page[6 + static_cast<std::size_t>(i)];
    if (flags & kBeginning) {
      if (!walk->pages.empty()) {
        *reason = ended ? "it is a chained Ogg file" : "it holds several streams side by side";
        return false;
      }
      walk->serial = serial;
    } else if (walk->pages.empty()) {
      *reason = "its first Ogg page does not begin a stream";
      return false;
    }
    if (serial != walk->serial) {
      *reason = "it holds several streams side by side";
      return false;
    }
    if (ended) {
      *reason = "it goes on after its end-of-stream page";
      return false;
    }
    if (sequence != expectedSequence) {
      *reason = "its Ogg pages are out of sequence (pages are missing)";
      return false;
    }
    ++expectedSequence;
    if (static_cast<bool>(flags & kContinued) != open) {
      *reason = "its Ogg pages break a packet off (it is damaged)";
      return false;
    }
    const auto pageIndex = static_cast<std::uint32_t>(walk->pages.size());
    std::int64_t at = offset + static_cast<std::int64_t>(pageSize);
    std::int64_t pieceStart = at;
    std::uint32_t pieceSize = 0;
    for (std::size_t i = 0; i < segments; ++i) {
      const std::uint8_t lace = page[kHeaderBytes + i];
      pieceSize += lace;
      at += lace;
      if (!open) {
        partial = OggPacketWalk::Packet{};
        partial.firstPiece = static_cast<std::uint32_t>(walk->pieces.size());
        open = true;
      }
      if (lace == 255 && i + 1 < segments) continue;
      const std::int64_t pieceInPage = pieceStart - offset;
      for (std::uint32_t k = 0; k < pieceSize && partial.size + k < 2; ++k) {
        partial.lead[partial.size + k] = page[static_cast<std::size_t>(pieceInPage) + k];
      }
      walk->pieces.push_back({pieceStart, pieceSize});
      ++partial.pieceCount;
      partial.size += pieceSize;
      pieceStart = at;
      pieceSize = 0;
      if (lace < 255) {
        partial.page = pageIndex;
        walk->packets.push_back(partial);
        open = false;
        ++packetsEnded;
      }
    }
    walk->pages.push_back({static_cast<std::int64_t>(granule), packetsEnded, static_cast<bool>(flags & kEnd)});
    ended = flags & kEnd;
    offset += static_cast<std::int64_t>(page.size());
  }
  if (walk->pages.empty()) {
    *reason = "it is no Ogg file";
    return false;
  }
  if (open) {
    *reason = "its last packet is cut off";
    return false;
  }
  return true;
}

bool ReadPacket(int fd, const std::vector<PacketPiece>& pieces, std::uint32_t firstPiece, std::uint32_t pieceCount,
                std::vector<std::uint8_t>* out) {
  out->clear();
  for (std::uint32_t i = firstPiece; i < firstPiece + pieceCount; ++i) {
    const std::size_t at = out->size();
    out->resize(at + pieces[i].size);
    if (pieces[i].size > 0 && !audio::ReadAt(fd, pieces[i].offset, out->data() + at, pieces[i].size)) return false;
  }
  return true;
}

}  // namespace snipwave::oggcopy
