#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace snipwave::mp4copy {

// Builds MP4 boxes in memory, big-endian. Open() starts a box whose 32-bit
// size Close() fills in once its content is known; boxes nest.
class BoxWriter {
 public:
  void U8(std::uint32_t v) { bytes_.push_back(static_cast<std::uint8_t>(v)); }
  void U16(std::uint32_t v) { U8(v >> 8), U8(v); }
  void U32(std::uint32_t v) { U16(v >> 16), U16(v & 0xFFFF); }
  void U64(std::uint64_t v) { U32(static_cast<std::uint32_t>(v >> 32)), U32(static_cast<std::uint32_t>(v)); }
  void Zeros(std::size_t n) { bytes_.insert(bytes_.end(), n, 0); }
  void Type(const char* fourcc) { bytes_.insert(bytes_.end(), fourcc, fourcc + 4); }
  void Bytes(const std::uint8_t* data, std::size_t size) { bytes_.insert(bytes_.end(), data, data + size); }
  void Text(const char* text);  // its bytes, no terminator

  void Open(const char* type);
  // A full box: type, then version and 24 bits of flags.
  void OpenFull(const char* type, int version, std::uint32_t flags);
  void Close();

  const std::vector<std::uint8_t>& Data() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
  std::vector<std::size_t> open_;  // start of each box not yet closed
};

}  // namespace snipwave::mp4copy
