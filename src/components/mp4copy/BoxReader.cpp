#include "BoxReader.h"

namespace snipwave::mp4copy {

bool ReadBoxes(const std::uint8_t* data, std::size_t size, std::vector<Box>* out) {
  out->clear();
  std::size_t at = 0;
  while (at < size) {
    if (size - at < 8) return false;
    const std::uint8_t* p = data + at;
    std::uint64_t boxSize = Be32(p);
    std::size_t headerSize = 8;
    if (boxSize == 1) {
      if (size - at < 16) return false;
      boxSize = Be64(p + 8);
      headerSize = 16;
    } else if (boxSize == 0) {
      boxSize = size - at;
    }
    if (boxSize < headerSize || boxSize > size - at) return false;
    Box box;
    std::memcpy(box.type, p + 4, 4);
    box.header = p;
    box.body = p + headerSize;
    box.size = static_cast<std::size_t>(boxSize) - headerSize;
    box.boxSize = static_cast<std::size_t>(boxSize);
    out->push_back(box);
    at += static_cast<std::size_t>(boxSize);
  }
  return true;
}

const Box* FindBox(const std::vector<Box>& boxes, const char* type) {
  for (const Box& box : boxes) {
    if (box.Is(type)) return &box;
  }
  return nullptr;
}

}  // namespace snipwave::mp4copy
