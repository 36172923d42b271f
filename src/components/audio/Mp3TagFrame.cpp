#include "Mp3TagFrame.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "Mp3InfoTag.h"

namespace snipwave::audio {

namespace {

constexpr int kXingBytes = 120;  // id, flags, frames, bytes, seek table, quality
constexpr int kLameBytes = 36;

// Bytes of a frame with `header`'s format at another bit rate index, no padding.
int FrameBytesAtBitrate(const std::uint8_t* header, int bitrateIndex) {
  const std::uint8_t h[4] = {header[0], header[1], static_cast<std::uint8_t>((header[2] & 0x0C) | bitrateIndex << 4),
                             header[3]};
  return Mp3FrameBytes(h);
}

int SideInfoBytes(const std::uint8_t* h) {
  const bool mpeg1 = ((h[1] >> 3) & 3) == 3, mono = (h[3] >> 6) == 3;
  return mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
}

std::array<std::uint8_t, 4> TagHeader(const std::uint8_t* streamHeader) {
  const int needed = 4 + SideInfoBytes(streamHeader) + kXingBytes + kLameBytes;
  for (int index = 1; index < 15; ++index) {
    if (FrameBytesAtBitrate(streamHeader, index) >= needed) {
      return {0xFF, static_cast<std::uint8_t>(streamHeader[1] | 1),  // no CRC
              static_cast<std::uint8_t>((streamHeader[2] & 0x0C) | index << 4),
              static_cast<std::uint8_t>(streamHeader[3] & 0xC0)};
    }
  }
  return {0, 0, 0, 0};
}

void PutBe32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 24);
  p[1] = static_cast<std::uint8_t>(v >> 16);
  p[2] = static_cast<std::uint8_t>(v >> 8);
  p[3] = static_cast<std::uint8_t>(v);
}

}  // namespace

std::uint16_t Crc16(std::uint16_t crc, const std::uint8_t* data, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
  }
  return crc;
}

int TagFrameBytes(const std::uint8_t* streamHeader) {
  const auto header = TagHeader(streamHeader);
  return header[0] == 0 ? 0 : FrameBytesAtBitrate(header.data(), header[2] >> 4);
}

bool SetTagDelay(std::uint8_t* frame, std::size_t size, int delay) {
  if (size < 4 || !ParseMp3InfoTag(frame, size)) return false;
  const std::size_t xing = 4 + static_cast<std::size_t>(SideInfoBytes(frame));
  const std::uint32_t flags = static_cast<std::uint32_t>(frame[xing + 4]) << 24 | frame[xing + 5] << 16 |
                              frame[xing + 6] << 8 | frame[xing + 7];
  const std::size_t lame = xing + 8 + (flags & 1 ? 4 : 0) + (flags & 2 ? 4 : 0) + (flags & 4 ? 100 : 0) +
                           (flags & 8 ? 4 : 0);
  if (size < lame + kLameBytes || std::memcmp(frame + lame, "LAME", 4) != 0) return false;
  std::uint8_t* field = frame + lame + 21;
  field[0] = static_cast<std::uint8_t>(delay >> 4);
  field[1] = static_cast<std::uint8_t>((delay & 0x0F) << 4 | (field[1] & 0x0F));
  const std::uint16_t tagCrc = Crc16(0, frame, lame + 34);
  frame[lame + 34] = static_cast<std::uint8_t>(tagCrc >> 8);
  frame[lame + 35] = static_cast<std::uint8_t>(tagCrc);
  return true;
}

std::vector<std::uint8_t> BuildTagFrame(const std::uint8_t* streamHeader, const TagFrameFacts& facts) {
  const auto header = TagHeader(streamHeader);
  std::vector<std::uint8_t> frame(static_cast<std::size_t>(TagFrameBytes(streamHeader)), 0);
  if (frame.empty()) return frame;
  std::memcpy(frame.data(), header.data(), 4);
  std::uint8_t* xing = frame.data() + 4 + SideInfoBytes(streamHeader);
  std::memcpy(xing, facts.variableBitrate ? "Xing" : "Info", 4);
  PutBe32(xing + 4, 0x0F);  // frames, bytes, seek table, quality
  PutBe32(xing + 8, static_cast<std::uint32_t>(facts.audioFrames));
  PutBe32(xing + 12, static_cast<std::uint32_t>(facts.streamBytes));
  for (int i = 0; i < 100; ++i) {
    const std::size_t n = facts.frameOffsets.size();
    const std::size_t frame_index = n * static_cast<std::size_t>(i) / 100;
    const std::int64_t at = frame_index < n ? facts.frameOffsets[frame_index] : facts.streamBytes;
    xing[16 + i] = static_cast<std::uint8_t>(
        std::min<std::int64_t>(255, facts.streamBytes > 0 ? at * 256 / facts.streamBytes : 0));
  }
  PutBe32(xing + 116, 0);  // quality: not known for a copy

  std::uint8_t* lame = xing + kXingBytes;
  std::memcpy(lame, "LAME3.100", 9);
  lame[9] = facts.variableBitrate ? 4 : 1;  // revision 0; VBR (new) or CBR
  lame[20] = static_cast<std::uint8_t>(std::min(255, facts.bitrateKbps));
  lame[21] = static_cast<std::uint8_t>(facts.delay >> 4);
  lame[22] = static_cast<std::uint8_t>((facts.delay & 0x0F) << 4 | facts.padding >> 8);
  lame[23] = static_cast<std::uint8_t>(facts.padding);
  PutBe32(lame + 28, static_cast<std::uint32_t>(facts.streamBytes));
  lame[32] = static_cast<std::uint8_t>(facts.musicCrc >> 8);
  lame[33] = static_cast<std::uint8_t>(facts.musicCrc);
  const auto covered = static_cast<std::size_t>(lame + 34 - frame.data());
  const std::uint16_t tagCrc = Crc16(0, frame.data(), covered);
  lame[34] = static_cast<std::uint8_t>(tagCrc >> 8);
  lame[35] = static_cast<std::uint8_t>(tagCrc);
  return frame;
}

}  // namespace snipwave::audio
