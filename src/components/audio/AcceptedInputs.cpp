#include "AcceptedInputs.h"

#include <cstring>
#include <initializer_list>

namespace snipwave::audio {

bool IsAcceptedContainer(const char* name) {
  // "mov,mp4,m4a,3gp,3g2,mj2" is the ISO media demuxer (M4A); "aac" reads
  // ADTS streams.
  for (const char* ok : {"mp3", "wav", "asf", "ogg", "flac", "aiff", "mov,mp4,m4a,3gp,3g2,mj2", "aac"}) {
    if (std::strcmp(name, ok) == 0) return true;
  }
  return false;
}

bool StartsWithFlacFrame(const std::uint8_t* d, std::size_t size, int* bitsPerSample) {
  if (size < 6 || d[0] != 0xFF || (d[1] & 0xFE) != 0xF8) return false;
  const int blockCode = d[2] >> 4, rateCode = d[2] & 0x0F;
  const int channelCode = d[3] >> 4, bitsCode = (d[3] >> 1) & 0x07;
  if (blockCode == 0 || rateCode == 0x0F || channelCode > 10 || bitsCode == 3 || (d[3] & 0x01) != 0) return false;
  // The frame or sample number, coded like UTF-8 in one to seven bytes.
  int ones = 0;
  for (std::uint8_t lead = d[4]; (lead & 0x80) != 0; lead = static_cast<std::uint8_t>(lead << 1)) ++ones;
  if (ones == 1 || ones > 7) return false;
  std::size_t at = 4 + static_cast<std::size_t>(ones == 0 ? 1 : ones);
  if (at > size) return false;
  for (std::size_t i = 5; i < at; ++i)
    if ((d[i] & 0xC0) != 0x80) return false;
  at += blockCode == 6 ? 1 : blockCode == 7 ? 2 : 0;
  at += rateCode == 12 ? 1 : (rateCode == 13 || rateCode == 14) ? 2 : 0;
  if (at >= size) return false;
  // CRC-8 over the header: polynomial x^8 + x^2 + x + 1, initial value 0.
  std::uint8_t crc = 0;
  for (std::size_t i = 0; i < at; ++i) {
    crc ^= d[i];
    for (int bit = 0; bit < 8; ++bit) crc = static_cast<std::uint8_t>((crc & 0x80) ? (crc << 1) ^ 0x07 : crc << 1);
  }
  if (crc != d[at]) return false;
  if (bitsPerSample) {
    static constexpr int kBits[8] = {0, 8, 12, 0, 16, 20, 24, 32};
    *bitsPerSample = kBits[bitsCode];
  }
  return true;
}

}  // namespace snipwave::audio
