#include "OggPageWriter.h"

#include <cerrno>
#include <cstring>

#include "components/audio/OggLayout.h"
#include "platform/Error.h"

namespace snipwave::oggcopy {

OggPageWriter::OggPageWriter(std::FILE* file, std::string path, std::uint32_t serial)
    : file_(file), path_(std::move(path)), serial_(serial) {}

void OggPageWriter::Add(const std::uint8_t* data, std::size_t size, std::int64_t granule, bool mayStartPage) {
  if (mayStartPage && body_.size() >= kTargetBody) ClosePage();
  // A packet is laced as 255-byte segments and one shorter (maybe empty) one.
  for (std::size_t left = size;; left -= 255) {
    if (segments_.size() == 255) WritePage(255, false);
    if (left >= 255) {
      segments_.push_back({255, -1});
    } else {
      segments_.push_back({static_cast<std::uint8_t>(left), granule});
      break;
    }
  }
  body_.insert(body_.end(), data, data + size);
}

void OggPageWriter::ClosePage() {
  while (!segments_.empty()) WritePage(std::min<std::size_t>(segments_.size(), 255), false);
}

void OggPageWriter::Finish(std::int64_t finalGranule) {
  if (segments_.empty()) throw Error::Failed("Cannot write", path_, "an Ogg stream ended without packets");
  segments_.back().granule = finalGranule;
  while (segments_.size() > 255) WritePage(255, false);
  WritePage(segments_.size(), true);
}

void OggPageWriter::WritePage(std::size_t count, bool last) {
  std::size_t bodySize = 0;
  std::int64_t granule = -1;
  for (std::size_t i = 0; i < count; ++i) {
    bodySize += segments_[i].lace;
    if (segments_[i].lace < 255) granule = segments_[i].granule;
  }
  page_.assign(27 + count, 0);
  std::memcpy(page_.data(), "OggS", 4);
  page_[5] = static_cast<std::uint8_t>((continued_ ? 0x01 : 0) | (sequence_ == 0 ? 0x02 : 0) | (last ? 0x04 : 0));
  const auto g = static_cast<std::uint64_t>(granule);
  for (int i = 0; i < 8; ++i) page_[6 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(g >> (8 * i));
  for (int i = 0; i < 4; ++i) {
    page_[14 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(serial_ >> (8 * i));
    page_[18 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(sequence_ >> (8 * i));
  }
  page_[26] = static_cast<std::uint8_t>(count);
  for (std::size_t i = 0; i < count; ++i) page_[27 + i] = segments_[i].lace;
  page_.insert(page_.end(), body_.begin(), body_.begin() + static_cast<std::ptrdiff_t>(bodySize));
  const std::uint32_t crc = audio::OggPageChecksum(page_.data(), page_.size());
  for (int i = 0; i < 4; ++i) page_[22 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(crc >> (8 * i));
  errno = 0;
  if (std::fwrite(page_.data(), 1, page_.size(), file_) != page_.size()) {
    throw Error::Failed("Cannot write", path_, std::strerror(errno ? errno : EIO));
  }
  continued_ = segments_[count - 1].lace == 255;
  ++sequence_;
  segments_.erase(segments_.begin(), segments_.begin() + static_cast<std::ptrdiff_t>(count));
  body_.erase(body_.begin(), body_.begin() + static_cast<std::ptrdiff_t>(bodySize));
}

}  // namespace snipwave::oggcopy
