#include "FlacFormat.h"

#include <array>

namespace snipwave::flaccopy {
namespace {

constexpr std::array<std::uint8_t, 256> MakeCrc8Table() {
  std::array<std::uint8_t, 256> table{};
  for (int i = 0; i < 256; ++i) {
    unsigned crc = static_cast<unsigned>(i);
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x80) ? ((crc << 1) ^ 0x07) : (crc << 1);
    table[i] = static_cast<std::uint8_t>(crc);
  }
  return table;
}

// Eight tables: table[k][b] is the CRC of byte b followed by k zero bytes, so
// that eight bytes are folded in with eight look-ups and no dependency chain.
constexpr std::array<std::array<std::uint16_t, 256>, 8> MakeCrc16Tables() {
  std::array<std::array<std::uint16_t, 256>, 8> tables{};
  for (int i = 0; i < 256; ++i) {
    unsigned crc = static_cast<unsigned>(i) << 8;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x8000) ? ((crc << 1) ^ 0x8005) : (crc << 1);
    tables[0][i] = static_cast<std::uint16_t>(crc);
  }
  for (int k = 1; k < 8; ++k)
    for (int i = 0; i < 256; ++i) {
      const unsigned prev = tables[k - 1][i];
      tables[k][i] = static_cast<std::uint16_t>((prev << 8) ^ tables[0][prev >> 8]);
    }
  return tables;
}

constexpr auto kCrc8 = MakeCrc8Table();
constexpr auto kCrc16 = MakeCrc16Tables();

constexpr int kRates[12] = {0, 88200, 176400, 192000, 8000, 16000, 22050, 24000, 32000, 44100, 48000, 96000};
constexpr int kBits[8] = {0, 8, 12, -1, 16, 20, 24, 32};

// Decodes the coded number at `data`; its byte count goes to `size`.
std::optional<std::uint64_t> ReadCodedNumber(const std::uint8_t* data, std::size_t available, int* size) {
  if (available < 1) return std::nullopt;
  const std::uint8_t first = data[0];
  int extra = 0;
  std::uint64_t value = 0;
  if (first < 0x80) {
    value = first;
  } else if ((first & 0xE0) == 0xC0) {
    extra = 1, value = first & 0x1F;
  } else if ((first & 0xF0) == 0xE0) {
    extra = 2, value = first & 0x0F;
  } else if ((first & 0xF8) == 0xF0) {
    extra = 3, value = first & 0x07;
  } else if ((first & 0xFC) == 0xF8) {
    extra = 4, value = first & 0x03;
  } else if ((first & 0xFE) == 0xFC) {
    extra = 5, value = first & 0x01;
  } else if (first == 0xFE) {
    extra = 6, value = 0;
  } else {
    return std::nullopt;
  }
  if (available < static_cast<std::size_t>(1 + extra)) return std::nullopt;
  for (int i = 1; i <= extra; ++i) {
    if ((data[i] & 0xC0) != 0x80) return std::nullopt;
    value = (value << 6) | (data[i] & 0x3F);
  }
  *size = 1 + extra;
  return value;
}

}  // namespace

std::uint8_t Crc8(const std::uint8_t* data, std::size_t size) {
  std::uint8_t crc = 0;
  for (std::size_t i = 0; i < size; ++i) crc = kCrc8[crc ^ data[i]];
  return crc;
}

std::uint16_t Crc16(const std::uint8_t* data, std::size_t size, std::uint16_t crc) {
  std::size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    const std::uint8_t* p = data + i;
    crc = static_cast<std::uint16_t>(kCrc16[7][(crc >> 8) ^ p[0]] ^ kCrc16[6][(crc & 0xFF) ^ p[1]] ^
                                     kCrc16[5][p[2]] ^ kCrc16[4][p[3]] ^ kCrc16[3][p[4]] ^ kCrc16[2][p[5]] ^
                                     kCrc16[1][p[6]] ^ kCrc16[0][p[7]]);
  }
  for (; i < size; ++i) crc = static_cast<std::uint16_t>((crc << 8) ^ kCrc16[0][(crc >> 8) ^ data[i]]);
  return crc;
}

std::optional<StreamInfo> ParseStreamInfo(const std::uint8_t* b) {
  StreamInfo info;
  info.minBlockSize = (b[0] << 8) | b[1];
  info.maxBlockSize = (b[2] << 8) | b[3];
  info.minFrameSize = (b[4] << 16) | (b[5] << 8) | b[6];
  info.maxFrameSize = (b[7] << 16) | (b[8] << 8) | b[9];
  info.sampleRate = (b[10] << 12) | (b[11] << 4) | (b[12] >> 4);
  info.channels = ((b[12] >> 1) & 0x07) + 1;
  info.bitsPerSample = (((b[12] & 0x01) << 4) | (b[13] >> 4)) + 1;
  info.totalSamples = (static_cast<std::int64_t>(b[13] & 0x0F) << 32) | (static_cast<std::int64_t>(b[14]) << 24) |
                      (b[15] << 16) | (b[16] << 8) | b[17];
  for (int i = 0; i < 16; ++i) info.md5[i] = b[18 + i];
  if (info.sampleRate == 0 || info.bitsPerSample < 4 || info.maxBlockSize < 16 ||
      info.minBlockSize > info.maxBlockSize)
    return std::nullopt;
  return info;
}

void WriteStreamInfo(const StreamInfo& info, std::uint8_t* b) {
  b[0] = static_cast<std::uint8_t>(info.minBlockSize >> 8);
  b[1] = static_cast<std::uint8_t>(info.minBlockSize);
  b[2] = static_cast<std::uint8_t>(info.maxBlockSize >> 8);
  b[3] = static_cast<std::uint8_t>(info.maxBlockSize);
  b[4] = static_cast<std::uint8_t>(info.minFrameSize >> 16);
  b[5] = static_cast<std::uint8_t>(info.minFrameSize >> 8);
  b[6] = static_cast<std::uint8_t>(info.minFrameSize);
  b[7] = static_cast<std::uint8_t>(info.maxFrameSize >> 16);
  b[8] = static_cast<std::uint8_t>(info.maxFrameSize >> 8);
  b[9] = static_cast<std::uint8_t>(info.maxFrameSize);
  b[10] = static_cast<std::uint8_t>(info.sampleRate >> 12);
  b[11] = static_cast<std::uint8_t>(info.sampleRate >> 4);
  const int bits = info.bitsPerSample - 1;
  b[12] = static_cast<std::uint8_t>(((info.sampleRate & 0x0F) << 4) | ((info.channels - 1) << 1) | (bits >> 4));
  b[13] = static_cast<std::uint8_t>(((bits & 0x0F) << 4) | ((info.totalSamples >> 32) & 0x0F));
  b[14] = static_cast<std::uint8_t>(info.totalSamples >> 24);
  b[15] = static_cast<std::uint8_t>(info.totalSamples >> 16);
  b[16] = static_cast<std::uint8_t>(info.totalSamples >> 8);
  b[17] = static_cast<std::uint8_t>(info.totalSamples);
  for (int i = 0; i < 16; ++i) b[18 + i] = info.md5[i];
}

std::optional<FrameHeader> ParseFrameHeader(const std::uint8_t* d, std::size_t available) {
  if (available < 6 || d[0] != 0xFF || (d[1] & 0xFE) != 0xF8) return std::nullopt;
  FrameHeader h;
  h.variableBlockSize = (d[1] & 0x01) != 0;
  const int blockCode = d[2] >> 4, rateCode = d[2] & 0x0F;
  const int channelCode = d[3] >> 4, bitsCode = (d[3] >> 1) & 0x07;
  if (blockCode == 0 || rateCode == 15 || channelCode > 10 || bitsCode == 3 || (d[3] & 0x01)) return std::nullopt;
  int numberSize = 0;
  const auto number = ReadCodedNumber(d + 4, available - 4, &numberSize);
  if (!number || (!h.variableBlockSize && *number >= (1u << 31))) return std::nullopt;
  h.number = *number;
  std::size_t at = 4 + static_cast<std::size_t>(numberSize);
  auto take = [&](int bytes) -> std::optional<int> {
    if (at + static_cast<std::size_t>(bytes) > available) return std::nullopt;
    int value = 0;
    for (int i = 0; i < bytes; ++i) value = (value << 8) | d[at++];
    return value;
  };
  if (blockCode == 1) {
    h.blockSize = 192;
  } else if (blockCode <= 5) {
    h.blockSize = 576 << (blockCode - 2);
  } else if (blockCode <= 7) {
    const auto v = take(blockCode == 6 ? 1 : 2);
    if (!v) return std::nullopt;
    h.blockSize = *v + 1;
    if (h.blockSize > 65535) return std::nullopt;
  } else {
    h.blockSize = 256 << (blockCode - 8);
  }
  if (rateCode < 12) {
    h.sampleRate = kRates[rateCode];
  } else {
    const auto v = take(rateCode == 12 ? 1 : 2);
    if (!v) return std::nullopt;
    h.sampleRate = rateCode == 12 ? *v * 1000 : rateCode == 13 ? *v : *v * 10;
    if (h.sampleRate == 0) return std::nullopt;
  }
  h.channels = channelCode < 8 ? channelCode + 1 : 2;
  h.bitsPerSample = kBits[bitsCode];
  if (at + 1 > available || Crc8(d, at) != d[at]) return std::nullopt;
  h.size = static_cast<int>(at + 1);
  return h;
}

void AppendCodedNumber(std::uint64_t value, std::vector<std::uint8_t>& out) {
  if (value < 0x80) {
    out.push_back(static_cast<std::uint8_t>(value));
    return;
  }
  // Continuation bytes carry 6 bits each; the first byte 7 - (count + 1).
  int extra = 1;
  while (extra < 6 && value >= (std::uint64_t{1} << (6 * extra + 6 - extra))) ++extra;
  const std::uint8_t lead = static_cast<std::uint8_t>(0xFF00 >> (extra + 1));
  out.push_back(static_cast<std::uint8_t>(lead | (value >> (6 * extra))));
  for (int i = extra - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(0x80 | ((value >> (6 * i)) & 0x3F)));
}

std::vector<std::uint8_t> RenumberedHeader(const std::uint8_t* header, const FrameHeader& parsed,
                                           std::uint64_t sampleNumber) {
  std::vector<std::uint8_t> out{0xFF, 0xF9, header[2], header[3]};
  AppendCodedNumber(sampleNumber, out);
  // What follows the old coded number (explicit block size and rate) stays.
  int oldNumberSize = 0;
  ReadCodedNumber(header + 4, static_cast<std::size_t>(parsed.size - 5), &oldNumberSize);
  const int tailStart = 4 + oldNumberSize, tailEnd = parsed.size - 1;
  out.insert(out.end(), header + tailStart, header + tailEnd);
  out.push_back(Crc8(out.data(), out.size()));
  return out;
}

}  // namespace snipwave::flaccopy
