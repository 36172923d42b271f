#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace snipwave::oggcopy {

// Packs the packets of one logical stream into Ogg pages and appends them
// to an open file: sequence numbers from 0, the first page marked as the
// stream's beginning, the last (Finish) as its end, continued packets
// flagged, each page's granule position that of the last packet completed
// on it (-1 when none is). A page closes before a packet once it holds
// kTargetBody bytes, and after 255 segments in any case.
class OggPageWriter {
 public:
  static constexpr std::size_t kTargetBody = 4096;

  // `file` stays the caller's; `path` names it in errors.
  OggPageWriter(std::FILE* file, std::string path, std::uint32_t serial);

  // Appends a packet whose end is at `granule`. `mayStartPage` false keeps
  // it on the page of the packet before (unless 255 segments force a page).
  void Add(const std::uint8_t* data, std::size_t size, std::int64_t granule, bool mayStartPage = true);
  // Writes what is pending, the page ending after the last packet added.
  void ClosePage();
  // Writes what is pending as the stream's last pages, the last packet's
  // granule set to `finalGranule`.
  void Finish(std::int64_t finalGranule);
  std::uint32_t PagesWritten() const { return sequence_; }

 private:
  struct Segment {
    std::uint8_t lace = 0;
    std::int64_t granule = -1;  // the packet's, when the segment ends one
  };
  // Writes the first `count` pending segments as one page.
  void WritePage(std::size_t count, bool last);

  std::FILE* file_;
  std::string path_;
  std::uint32_t serial_;
  std::uint32_t sequence_ = 0;
  bool continued_ = false;  // the next page starts inside a packet
  std::vector<Segment> segments_;
  std::vector<std::uint8_t> body_;
  std::vector<std::uint8_t> page_;
};

}  // namespace snipwave::oggcopy
