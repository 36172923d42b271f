#include "AlacVerbatim.h"

#include <array>

namespace snipwave::audio {

namespace {

enum Element : std::uint32_t { kSingle = 0, kPair = 1, kEnd = 7 };

// ALAC's coded channel order per channel count: which of FFmpeg's channels
// each coded channel is, and the elements they are grouped in (C, L R, Ls
// Rs, ... with the LFE last as a single element).
constexpr std::array<std::array<int, 8>, 8> kCodedChannel = {{{0},
                                                              {0, 1},
                                                              {2, 0, 1},
                                                              {2, 0, 1, 3},
                                                              {2, 0, 1, 3, 4},
                                                              {2, 0, 1, 4, 5, 3},
                                                              {2, 0, 1, 4, 5, 6, 3},
                                                              {2, 6, 7, 0, 1, 4, 5, 3}}};
constexpr std::array<std::array<Element, 5>, 8> kElements = {{{kSingle},
                                                              {kPair},
                                                              {kSingle, kPair},
                                                              {kSingle, kPair, kSingle},
                                                              {kSingle, kPair, kPair},
                                                              {kSingle, kPair, kPair, kSingle},
                                                              {kSingle, kPair, kPair, kSingle, kSingle},
                                                              {kSingle, kPair, kPair, kPair, kSingle}}};

class BitWriter {
 public:
  void Put(std::uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i) {
      if (used_ == 0) bytes_.push_back(0);
      bytes_.back() |= static_cast<std::uint8_t>(((value >> i) & 1u) << (7 - used_));
      used_ = (used_ + 1) % 8;
    }
  }
  std::vector<std::uint8_t> Take() { return std::move(bytes_); }

 private:
  std::vector<std::uint8_t> bytes_;
  int used_ = 0;  // bits used in the last byte
};

std::int32_t Sample(const std::uint8_t* plane, int index, int bits) {
  if (bits == 16) return reinterpret_cast<const std::int16_t*>(plane)[index];
  return reinterpret_cast<const std::int32_t*>(plane)[index] >> 8;
}

}  // namespace

std::vector<std::uint8_t> AlacVerbatimFrame(const std::uint8_t* const* planes, int channels, int frames, int bits) {
  BitWriter out;
  const std::uint32_t mask = bits == 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
  int coded = 0, singles = 0, pairs = 0;
  for (const Element element : kElements[static_cast<std::size_t>(channels - 1)]) {
    if (coded >= channels) break;
    const int width = element == kPair ? 2 : 1;
    out.Put(element, 3);
    out.Put(static_cast<std::uint32_t>(element == kPair ? pairs++ : singles++), 4);  // instance
    out.Put(0, 12);                                   // unused
    out.Put(1, 1);                                    // the sample count follows
    out.Put(0, 2);                                    // no extra (shifted-out) bytes
    out.Put(1, 1);                                    // verbatim
    out.Put(static_cast<std::uint32_t>(frames), 32);  // samples in this frame
    for (int i = 0; i < frames; ++i) {
      for (int c = 0; c < width; ++c) {
        const int source = kCodedChannel[static_cast<std::size_t>(channels - 1)][static_cast<std::size_t>(coded + c)];
        out.Put(static_cast<std::uint32_t>(Sample(planes[source], i, bits)) & mask, bits);
      }
    }
    coded += width;
  }
  out.Put(kEnd, 3);
  return out.Take();
}

}  // namespace snipwave::audio
