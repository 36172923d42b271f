#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace snipwave::mp4copy {

// Big-endian field readers over a box body; the caller checks the bounds.
inline std::uint32_t Be16(const std::uint8_t* p) { return static_cast<std::uint32_t>(p[0]) << 8 | p[1]; }
inline std::uint32_t Be32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}
inline std::uint64_t Be64(const std::uint8_t* p) { return static_cast<std::uint64_t>(Be32(p)) << 32 | Be32(p + 4); }

// One box inside a buffer: its four-character type and its body (what
// follows the 8- or 16-byte header).
struct Box {
  char type[4] = {};
  const std::uint8_t* header = nullptr;  // first byte of the box itself
  const std::uint8_t* body = nullptr;
  std::size_t size = 0;      // bytes of the body
  std::size_t boxSize = 0;   // bytes of the whole box
  bool Is(const char* t) const { return std::memcmp(type, t, 4) == 0; }
};

// The boxes that fill `size` bytes at `data` exactly; false when one claims
// more bytes than there are (a damaged file). A size of 0 runs to the end.
bool ReadBoxes(const std::uint8_t* data, std::size_t size, std::vector<Box>* out);

// The first box of `type` among `boxes`, or nullptr.
const Box* FindBox(const std::vector<Box>& boxes, const char* type);

}  // namespace snipwave::mp4copy
