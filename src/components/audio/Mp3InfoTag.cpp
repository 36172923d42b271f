#include "Mp3InfoTag.h"

#include <cstring>

namespace snipwave::audio {

namespace {

std::uint32_t Be32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

}  // namespace

int Mp3FrameBytes(const std::uint8_t* h) {
  static const int kMpeg1[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
  static const int kMpeg2[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
  static const int kRates[3] = {44100, 48000, 32000};
  if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return 0;
  const int version = (h[1] >> 3) & 3, layer = (h[1] >> 1) & 3;
  const int bitrate = h[2] >> 4, rate = (h[2] >> 2) & 3, padding = (h[2] >> 1) & 1;
  if (version == 1 || layer != 1 || bitrate == 0 || bitrate == 15 || rate == 3) return 0;
  const int kbps = version == 3 ? kMpeg1[bitrate] : kMpeg2[bitrate];
  const int hz = kRates[rate] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
  return (version == 3 ? 144 : 72) * kbps * 1000 / hz + padding;
}

bool HoldsMp3Frames(const std::uint8_t* data, std::size_t size, bool whole) {
  std::size_t start = 0;
  if (size >= 10 && std::memcmp(data, "ID3", 3) == 0) {
    start = 10 + (static_cast<std::size_t>(data[6] & 0x7F) << 21 | static_cast<std::size_t>(data[7] & 0x7F) << 14 |
                  static_cast<std::size_t>(data[8] & 0x7F) << 7 | (data[9] & 0x7F));
  }
  constexpr std::size_t kSearch = 64 * 1024;
  for (std::size_t p = start; p + 4 <= size && p < start + kSearch; ++p) {
    if (Mp3FrameBytes(data + p) == 0) continue;
    int frames = 0;
    std::size_t q = p;
    // Version, layer and sample rate stay the same from frame to frame.
    while (q + 4 <= size && Mp3FrameBytes(data + q) > 0 && (data[q + 1] & 0xFE) == (data[p + 1] & 0xFE) &&
           (data[q + 2] & 0x0C) == (data[p + 2] & 0x0C)) {
      q += static_cast<std::size_t>(Mp3FrameBytes(data + q));
      if (++frames >= 8) return true;
    }
    const bool endsTheFile = q == size || (q + 128 == size && std::memcmp(data + q, "TAG", 3) == 0);
    if (whole && frames >= 2 && endsTheFile) return true;
  }
  return false;
}

bool HoldsFreeFormatMp3(const std::uint8_t* data, std::size_t size) {
  const auto freeHeader = [](const std::uint8_t* h) {
    const int version = (h[1] >> 3) & 3, layer = (h[1] >> 1) & 3;
    return h[0] == 0xFF && (h[1] & 0xE0) == 0xE0 && version != 1 && layer != 0 && (h[2] >> 4) == 0 &&
           ((h[2] >> 2) & 3) != 3;
  };
  // The same stream: all but the padding and private bits, and the mode extension.
  const auto alike = [](const std::uint8_t* a, const std::uint8_t* b) {
    return a[1] == b[1] && (a[2] & 0xFC) == (b[2] & 0xFC) && (a[3] & 0xC0) == (b[3] & 0xC0);
  };
  // A free-format frame is longer than its side information and at most
  // what 640 kbit/s gives at 8 kHz.
  constexpr std::size_t kMinFrame = 24, kMaxFrame = 11520, kSearch = 64 * 1024;
  for (std::size_t p = 0; p + 4 <= size && p < kSearch; ++p) {
    if (!freeHeader(data + p)) continue;
    for (std::size_t q = p + kMinFrame; q + 4 <= size && q <= p + kMaxFrame; ++q) {
      if (!freeHeader(data + q) || !alike(data + p, data + q)) continue;
      const std::size_t spacing = q - p;
      for (std::size_t r = q + spacing - 1; r <= q + spacing + 1 && r + 4 <= size; ++r) {
        if (freeHeader(data + r) && alike(data + p, data + r)) return true;
      }
    }
  }
  return false;
}

std::optional<Mp3InfoTag> ParseMp3InfoTag(const std::uint8_t* frame, std::size_t size) {
  if (!frame || size < 4 || frame[0] != 0xFF || (frame[1] & 0xE0) != 0xE0) return std::nullopt;
  const int version = (frame[1] >> 3) & 3;  // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
  const int layer = (frame[1] >> 1) & 3;    // 1: Layer III
  if (version == 1 || layer != 1) return std::nullopt;
  const bool mono = (frame[3] >> 6) == 3;
  // The tag follows the header and the (all-zero) side information, whose
  // size depends on version and channel mode.
  const std::size_t sideInfo = version == 3 ? (mono ? 17 : 32) : (mono ? 9 : 17);
  std::size_t at = 4 + sideInfo;
  if (size < at + 8) return std::nullopt;
  if (std::memcmp(frame + at, "Xing", 4) != 0 && std::memcmp(frame + at, "Info", 4) != 0) return std::nullopt;
  Mp3InfoTag tag;
  tag.samplesPerFrame = version == 3 ? 1152 : 576;
  const std::uint32_t flags = Be32(frame + at + 4);
  at += 8;
  if (flags & 0x1) {  // frame count
    if (size < at + 4) return tag;
    tag.frames = Be32(frame + at);
    at += 4;
  }
  if (flags & 0x2) at += 4;    // byte count
  if (flags & 0x4) at += 100;  // seek table
  if (flags & 0x8) at += 4;    // quality
  // LAME extension: 9-byte encoder name, revision, lowpass, peak (4), two
  // replay gains (2 + 2), encoding flags, bit rate, then 12 bits of delay and
  // 12 bits of padding.
  if (size < at + 24) return tag;
  const std::uint8_t* name = frame + at;
  if (std::memcmp(name, "LAME", 4) != 0 && std::memcmp(name, "Lavf", 4) != 0 && std::memcmp(name, "Lavc", 4) != 0) {
    return tag;
  }
  const std::uint8_t* gapless = name + 21;
  tag.delay = gapless[0] << 4 | gapless[1] >> 4;
  tag.padding = (gapless[1] & 0x0F) << 8 | gapless[2];
  tag.hasGapless = true;
  return tag;
}

}  // namespace snipwave::audio
