#include "BoxWriter.h"

#include <cstring>
#include <stdexcept>

namespace snipwave::mp4copy {

void BoxWriter::Text(const char* text) { Bytes(reinterpret_cast<const std::uint8_t*>(text), std::strlen(text)); }

void BoxWriter::Open(const char* type) {
  open_.push_back(bytes_.size());
  U32(0);
  Type(type);
}

void BoxWriter::OpenFull(const char* type, int version, std::uint32_t flags) {
  Open(type);
  U8(static_cast<std::uint32_t>(version));
  U8(flags >> 16), U8(flags >> 8), U8(flags);
}

void BoxWriter::Close() {
  const std::size_t start = open_.back();
  open_.pop_back();
  const std::size_t size = bytes_.size() - start;
  // Only the mdat can reach 4 GiB, and it is not built here.
  if (size > 0xFFFFFFFFu) throw std::length_error("MP4 box over 4 GiB");
  for (int i = 0; i < 4; ++i) bytes_[start + i] = static_cast<std::uint8_t>(size >> (24 - 8 * i));
}

}  // namespace snipwave::mp4copy
