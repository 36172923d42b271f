#include "GlobalGain.h"

#include <vector>

namespace snipwave::mp3copy {

namespace {

// Bits of the side information, most significant first.
int ReadBits(const std::uint8_t* data, int bit, int count) {
  int value = 0;
  for (int i = 0; i < count; ++i, ++bit) value = (value << 1) | ((data[bit >> 3] >> (7 - (bit & 7))) & 1);
  return value;
}

void WriteBits(std::uint8_t* data, int bit, int count, int value) {
  for (int i = count - 1; i >= 0; --i, ++bit) {
    const auto mask = static_cast<std::uint8_t>(0x80 >> (bit & 7));
    if ((value >> i) & 1) data[bit >> 3] |= mask;
    else data[bit >> 3] &= static_cast<std::uint8_t>(~mask);
  }
}

// CRC-16 of the MPEG audio header check: polynomial 0x8005, start 0xFFFF,
// over the header's last two bytes and the side information.
std::uint16_t HeaderCrc(const std::uint8_t* frame, int sideInfoBytes) {
  std::uint16_t crc = 0xFFFF;
  const auto feed = [&crc](std::uint8_t byte) {
    for (int i = 7; i >= 0; --i) {
      const bool top = (crc & 0x8000) != 0;
      const bool bit = ((byte >> i) & 1) != 0;
      crc = static_cast<std::uint16_t>(crc << 1);
      if (top != bit) crc ^= 0x8005;
    }
  };
  feed(frame[2]);
  feed(frame[3]);
  for (int i = 0; i < sideInfoBytes; ++i) feed(frame[6 + i]);
  return crc;
}

}  // namespace

bool AddGlobalGain(std::uint8_t* frame, std::size_t size, int steps) {
  if (size < 4 || frame[0] != 0xFF || (frame[1] & 0xE0) != 0xE0 || ((frame[1] >> 1) & 3) != 1) return false;
  const int version = (frame[1] >> 3) & 3;  // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
  if (version == 1) return false;
  const bool mpeg1 = version == 3;
  const bool crc = (frame[1] & 1) == 0;
  const bool mono = (frame[3] >> 6) == 3;
  const int channels = mono ? 1 : 2;
  const int granules = mpeg1 ? 2 : 1;
  const int sideInfoBytes = mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
  const int sideInfo = 4 + (crc ? 2 : 0);
  if (size < std::size_t(sideInfo + sideInfoBytes)) return false;
  std::uint8_t* side = frame + sideInfo;
  // main_data_begin, private bits and (MPEG-1) scfsi come first; then each
  // granule's channel: part2_3_length 12, big_values 9, global_gain 8, ...
  const int head = mpeg1 ? 9 + (mono ? 5 : 3) + 4 * channels : 8 + (mono ? 1 : 2);
  const int block = mpeg1 ? 59 : 63;
  std::vector<int> positions;
  for (int g = 0; g < granules; ++g)
    for (int c = 0; c < channels; ++c) {
      const int bit = head + (g * channels + c) * block + 21;
      const int value = ReadBits(side, bit, 8) + steps;
      if (value < 0 || value > 255) return false;
      positions.push_back(bit);
    }
  for (int bit : positions) WriteBits(side, bit, 8, ReadBits(side, bit, 8) + steps);
  if (crc) {
    const std::uint16_t check = HeaderCrc(frame, sideInfoBytes);
    frame[4] = static_cast<std::uint8_t>(check >> 8);
    frame[5] = static_cast<std::uint8_t>(check & 0xFF);
  }
  return true;
}

}  // namespace snipwave::mp3copy
