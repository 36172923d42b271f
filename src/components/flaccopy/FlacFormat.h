#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// The pieces of the native FLAC format a frame copy reads and writes: the
// STREAMINFO block, frame headers, their UTF-8-style coded numbers and the two
// CRCs. Sizes are bytes; block sizes and positions are sample frames (one
// sample per channel).
namespace snipwave::flaccopy {

// CRC-8 of a frame header: polynomial x^8+x^2+x+1, initial value 0.
std::uint8_t Crc8(const std::uint8_t* data, std::size_t size);
// CRC-16 of a whole frame: polynomial x^16+x^15+x^2+1, initial value 0,
// continued from `crc`. The CRC of a frame including its two CRC bytes
// (big-endian) is 0.
std::uint16_t Crc16(const std::uint8_t* data, std::size_t size, std::uint16_t crc = 0);

// Bytes of one sample in PCM as FLAC's MD5 takes it (little-endian, signed).
inline constexpr int SampleWidth(int bitsPerSample) { return (bitsPerSample + 7) / 8; }

inline constexpr int kStreamInfoSize = 34;  // bytes of the STREAMINFO block's body
inline constexpr int kMinBlockSize = 16;    // the smallest block allowed before the last

struct StreamInfo {
  int minBlockSize = 0, maxBlockSize = 0;  // sample frames
  int minFrameSize = 0, maxFrameSize = 0;  // bytes; 0: unknown
  int sampleRate = 0;                      // Hz
  int channels = 0;
  int bitsPerSample = 0;
  std::int64_t totalSamples = 0;  // sample frames; 0: unknown
  std::uint8_t md5[16] = {};      // of the samples, little-endian, (bits+7)/8 bytes each; zeros: unknown
};

// The 34-byte body of a STREAMINFO block; nullopt when a field is out of range.
std::optional<StreamInfo> ParseStreamInfo(const std::uint8_t* body);
void WriteStreamInfo(const StreamInfo& info, std::uint8_t* body);

// A frame header as found in the stream.
struct FrameHeader {
  bool variableBlockSize = false;  // the coded number is a sample number, else a frame number
  std::uint64_t number = 0;        // the coded frame or sample number
  int blockSize = 0;               // sample frames
  int sampleRate = 0;              // Hz; 0: as STREAMINFO says
  int channels = 0;
  int bitsPerSample = 0;           // 0: as STREAMINFO says
  int size = 0;                    // bytes, CRC-8 included
};

inline constexpr int kMaxHeaderSize = 16;  // bytes a frame header can take

// The header at `data` (`available` bytes, of which it needs at most
// kMaxHeaderSize): nullopt unless it has the sync code, valid fields and a
// CRC-8 that checks.
std::optional<FrameHeader> ParseFrameHeader(const std::uint8_t* data, std::size_t available);

// Rewrites the header at `header` (one ParseFrameHeader accepted) for the
// variable-blocksize strategy with `sampleNumber` as its coded number: the
// block size, rate, channel and bits fields are kept. Returns the new header
// bytes, CRC-8 included.
std::vector<std::uint8_t> RenumberedHeader(const std::uint8_t* header, const FrameHeader& parsed,
                                           std::uint64_t sampleNumber);

// Appends the UTF-8-style coding of `value` (up to 36 bits, 1..7 bytes).
void AppendCodedNumber(std::uint64_t value, std::vector<std::uint8_t>& out);

}  // namespace snipwave::flaccopy
