#include "Mp3Frames.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "platform/Error.h"

namespace snipwave::mp3copy {

namespace {

constexpr int kMpeg1Kbps[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
constexpr int kMpeg2Kbps[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
constexpr int kRates[3] = {44100, 48000, 32000};

// MSB-first reader over the side information.
class BitReader {
 public:
  explicit BitReader(const std::uint8_t* data) : data_(data) {}
  int Read(int bits) {
    int value = 0;
    for (int i = 0; i < bits; ++i, ++at_) value = value << 1 | ((data_[at_ >> 3] >> (7 - (at_ & 7))) & 1);
    return value;
  }
  void Skip(int bits) { at_ += bits; }

 private:
  const std::uint8_t* data_;
  std::size_t at_ = 0;
};

bool IsMpeg1(const std::uint8_t* h) { return ((h[1] >> 3) & 3) == 3; }
bool IsMono(const std::uint8_t* h) { return (h[3] >> 6) == 3; }
int SampleRateOf(const std::uint8_t* h) {
  const int version = (h[1] >> 3) & 3;
  return kRates[(h[2] >> 2) & 3] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
}
int KbpsOf(const std::uint8_t* h) { return (IsMpeg1(h) ? kMpeg1Kbps : kMpeg2Kbps)[h[2] >> 4]; }

// Frames of one stream keep version, layer, sample rate and mono-ness.
bool SameStream(const std::uint8_t* a, const std::uint8_t* b) {
  return (a[1] & 0xFE) == (b[1] & 0xFE) && (a[2] & 0x0C) == (b[2] & 0x0C) && IsMono(a) == IsMono(b);
}

std::size_t Id3v2End(const std::uint8_t* data, std::size_t size) {
  std::size_t at = 0;
  while (size - at >= 10 && std::memcmp(data + at, "ID3", 3) == 0) {
    const std::uint8_t* tag = data + at;
    const std::size_t body = static_cast<std::size_t>(tag[6] & 0x7F) << 21 | static_cast<std::size_t>(tag[7] & 0x7F) << 14 |
                             static_cast<std::size_t>(tag[8] & 0x7F) << 7 | (tag[9] & 0x7F);
    const bool footer = tag[5] & 0x10;
    at += 10 + body + (footer ? 10 : 0);
    if (at >= size) return size;
  }
  return at;
}

// A run of at least four frames of one stream starts at `p` (or fewer that
// reach the end of the data).
bool RunStartsAt(const std::uint8_t* data, std::size_t size, std::size_t p) {
  std::size_t q = p;
  for (int n = 0; n < 4; ++n) {
    if (q == size) return n >= 1;
    if (q + 4 > size || audio::Mp3FrameBytes(data + q) == 0 || !SameStream(data + p, data + q)) return false;
    q += static_cast<std::size_t>(audio::Mp3FrameBytes(data + q));
    if (q > size) return false;
  }
  return true;
}

// Bytes after the frames that are a tag, not damage.
bool IsTrailingTag(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return true;
  if (size >= 3 && (std::memcmp(data, "TAG", 3) == 0 || std::memcmp(data, "ID3", 3) == 0)) return true;
  if (size >= 8 && (std::memcmp(data, "APETAGEX", 8) == 0 || std::memcmp(data, "LYRICSBE", 8) == 0)) return true;
  return std::all_of(data, data + size, [](std::uint8_t b) { return b == 0; });
}

// Where the tags at the end of the file begin: an ID3v1 tag (the last 128
// bytes) and, before it, any APE tags, found by their footers (an APE tag
// may have no header, so what follows the frames need not say it is one).
std::size_t TrailingTagsStart(const std::uint8_t* data, std::size_t size) {
  std::size_t end = size;
  if (end >= 128 && std::memcmp(data + end - 128, "TAG", 3) == 0) end -= 128;
  while (end >= 32 && std::memcmp(data + end - 32, "APETAGEX", 8) == 0) {
    const std::uint8_t* footer = data + end - 32;
    const auto le32 = [footer](int at) {
      return static_cast<std::size_t>(footer[at]) | static_cast<std::size_t>(footer[at + 1]) << 8 |
             static_cast<std::size_t>(footer[at + 2]) << 16 | static_cast<std::size_t>(footer[at + 3]) << 24;
    };
    const std::size_t bytes = le32(12) + ((footer[23] & 0x80) ? 32 : 0);  // items and footer, and the header
    if (bytes < 32 || bytes > end) break;
    end -= bytes;
  }
  return end;
}

// The Xing quality field and LAME's VBR method and bit rate bytes.
void ReadLameEncoding(const std::uint8_t* frame, std::size_t size, Mp3Stream& stream) {
  const int sideInfo = IsMpeg1(frame) ? (IsMono(frame) ? 17 : 32) : (IsMono(frame) ? 9 : 17);
  std::size_t at = 4 + static_cast<std::size_t>(sideInfo);
  if (size < at + 8) return;
  const std::uint32_t flags = static_cast<std::uint32_t>(frame[at + 4]) << 24 | frame[at + 5] << 16 |
                              frame[at + 6] << 8 | frame[at + 7];
  at += 8 + (flags & 1 ? 4 : 0) + (flags & 2 ? 4 : 0) + (flags & 4 ? 100 : 0);
  int quality = -1;
  if (flags & 8) {
    if (size < at + 4) return;
    quality = frame[at + 3];
    at += 4;
  }
  if (size < at + 21 || std::memcmp(frame + at, "LAME", 4) != 0) return;
  const int method = frame[at + 9] & 0x0F;
  if (method >= 3 && method <= 6 && quality >= 0 && quality <= 100) {
    stream.lameVbrQuality = std::clamp((100 - quality) / 10, 0, 9);
  } else if (method == 2 || method == 9) {  // ABR; the byte is its target
    stream.lameAverageKbps = frame[at + 20];
  }
}

}  // namespace

int Mp3Frame::MainBytesInSlot() const {
  const int bytes = (mainDataBits + 7) / 8;
  return std::max(0, bytes - mainDataBegin);
}

std::optional<Mp3Frame> ParseMp3Frame(const std::uint8_t* data, std::size_t size, std::int64_t offset) {
  if (size < 4) return std::nullopt;
  const int bytes = audio::Mp3FrameBytes(data);
  if (bytes == 0 || static_cast<std::size_t>(bytes) > size) return std::nullopt;
  const bool mpeg1 = IsMpeg1(data), mono = IsMono(data);
  const bool crc = (data[1] & 1) == 0;
  const int sideInfo = mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
  Mp3Frame frame;
  frame.offset = offset;
  frame.size = bytes;
  frame.slotOffset = 4 + (crc ? 2 : 0) + sideInfo;
  if (frame.slotOffset > bytes) return std::nullopt;
  BitReader bits(data + 4 + (crc ? 2 : 0));
  const int channels = mono ? 1 : 2;
  const int granules = mpeg1 ? 2 : 1;
  frame.mainDataBegin = bits.Read(mpeg1 ? 9 : 8);
  bits.Skip(mpeg1 ? (mono ? 5 : 3) + 4 * channels : (mono ? 1 : 2));  // private bits, scale factor selection
  for (int granule = 0; granule < granules; ++granule) {
    for (int ch = 0; ch < channels; ++ch) {
      frame.mainDataBits += bits.Read(12);
      bits.Skip(9 + 8 + (mpeg1 ? 4 : 9));  // big values, global gain, scale factor compression
      int blockType = 0;
      if (bits.Read(1)) {  // window switching
        blockType = bits.Read(2);
        bits.Skip(1 + 10 + 9);  // mixed block, two tables, subblock gains
      } else {
        bits.Skip(15 + 7);  // three tables, region counts
      }
      bits.Skip(mpeg1 ? 3 : 2);
      if (granule == 0 && blockType >= 2) frame.startsLong = false;
      if (granule == granules - 1 && (blockType == 1 || blockType == 2)) frame.endsLong = false;
    }
  }
  return frame;
}

int Mp3FrameBytesAtBitrate(const std::uint8_t* header, int bitrateIndex) {
  if (bitrateIndex <= 0 || bitrateIndex >= 15) return 0;
  std::uint8_t h[4] = {header[0], header[1], static_cast<std::uint8_t>((header[2] & 0x0C) | bitrateIndex << 4),
                       header[3]};
  return audio::Mp3FrameBytes(h);
}

Mp3Stream ReadMp3Stream(const std::uint8_t* data, std::size_t size, const std::string& path) {
  std::size_t p = Id3v2End(data, size);
  // Junk before the first frame (zeros, stray bytes) is skipped, as decoders do.
  constexpr std::size_t kSearch = 1 << 20;
  const std::size_t searchEnd = std::min(size, p + kSearch);
  while (p + 4 <= searchEnd && !(audio::Mp3FrameBytes(data + p) > 0 && RunStartsAt(data, size, p))) ++p;
  if (p + 4 > searchEnd) throw Error::Failed("Cannot read", path, "it holds no MPEG audio Layer III frames");

  Mp3Stream stream;
  const std::uint8_t* first = data + p;
  stream.sampleRate = SampleRateOf(first);
  stream.channels = IsMono(first) ? 1 : 2;
  stream.samplesPerFrame = IsMpeg1(first) ? 1152 : 576;
  stream.infoTag = audio::ParseMp3InfoTag(first, static_cast<std::size_t>(audio::Mp3FrameBytes(first)));
  if (stream.infoTag) {
    ReadLameEncoding(first, static_cast<std::size_t>(audio::Mp3FrameBytes(first)), stream);
    p += static_cast<std::size_t>(audio::Mp3FrameBytes(first));
  }

  std::map<int, std::int64_t> kbpsCount;
  std::int64_t kbpsSum = 0;
  const int sideInfo = IsMpeg1(first) ? (IsMono(first) ? 17 : 32) : (IsMono(first) ? 9 : 17);
  // The frames end where the trailing tags begin, whatever those hold.
  const std::size_t audioEnd = std::max(p, TrailingTagsStart(data, size));
  stream.frames.reserve((audioEnd - p) / 96);
  while (p + 4 <= audioEnd) {
    const int bytes = audio::Mp3FrameBytes(data + p);
    Mp3Frame frame;
    frame.offset = static_cast<std::int64_t>(p);
    frame.size = bytes;
    frame.slotOffset = 4 + ((data[p + 1] & 1) == 0 ? 2 : 0) + sideInfo;  // header, CRC, side information
    if (bytes < frame.slotOffset || p + static_cast<std::size_t>(bytes) > audioEnd || !SameStream(first, data + p)) {
      break;
    }
    stream.frames.push_back(frame);
    const int kbps = KbpsOf(data + p);
    ++kbpsCount[kbps];
    kbpsSum += kbps;
    p += static_cast<std::size_t>(bytes);
  }
  stream.dataEnd = static_cast<std::int64_t>(p);
  stream.whole = IsTrailingTag(data + p, audioEnd - p);
  const auto n = static_cast<std::int64_t>(stream.frames.size());
  stream.constantBitrate = kbpsCount.size() <= 1;
  stream.bitrateKbps = n > 0 ? static_cast<int>((kbpsSum + n / 2) / n) : 0;

  // The same reading of the tag as the program's reader: a gapless tag trims
  // the encoder and decoder delay off the front and the padding off the end.
  const std::int64_t raw = n * stream.samplesPerFrame;
  stream.length = raw;
  if (stream.infoTag && stream.infoTag->hasGapless) {
    stream.frontSkip = stream.infoTag->delay + audio::kMp3DecoderDelay;
    stream.length = std::max<std::int64_t>(0, raw - stream.frontSkip);
    if (stream.infoTag->frames > 0) {
      stream.length = std::min(stream.length, stream.infoTag->frames * stream.samplesPerFrame -
                                                  stream.infoTag->delay - stream.infoTag->padding);
    }
  }
  return stream;
}

}  // namespace snipwave::mp3copy
