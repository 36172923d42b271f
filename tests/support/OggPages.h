#pragma once

#include <QByteArray>
#include <cstdint>
#include <vector>

namespace snipwave::test {

// An Ogg file taken apart into its pages, to re-page encoder output at test
// time (the way other muxers lay out the same packets). Checksums are
// computed here, independently of the program's own.
struct OggPage {
  std::uint8_t flags = 0;  // 0x01 continued packet, 0x02 first page, 0x04 last page
  std::int64_t granule = -1;
  std::uint32_t serial = 0;
  std::vector<std::uint8_t> lacing;
  QByteArray body;
};

// The pages of `file` in order; stops at the first byte that starts no page.
std::vector<OggPage> ReadOggPages(const QByteArray& file);
// The pages as a file: numbered in order, checksums set.
QByteArray WriteOggPages(const std::vector<OggPage>& pages);
// Takes the first `packets` packets (whole on `page`) off it into a page of
// their own with `granule`, which is returned.
OggPage TakeFirstPackets(OggPage& page, int packets, std::int64_t granule);

}  // namespace snipwave::test
