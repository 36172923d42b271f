#include "FlacStream.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "SourceBytes.h"
#include "platform/Error.h"

namespace snipwave::flaccopy {
namespace {

constexpr int kStreamInfoType = 0;
constexpr std::size_t kId3v1Size = 128;

// Bytes before "fLaC": an ID3v2 tag (10-byte header, syncsafe size, optional
// 10-byte footer), or none.
std::int64_t Id3v2Size(const std::uint8_t* d, std::size_t n) {
  if (n < 10 || std::memcmp(d, "ID3", 3) != 0) return 0;
  if ((d[6] | d[7] | d[8] | d[9]) & 0x80) return 0;
  const std::int64_t body = (d[6] << 21) | (d[7] << 14) | (d[8] << 7) | d[9];
  return 10 + body + ((d[5] & 0x10) ? 10 : 0);
}

// The most bytes a frame of `blockSize` can take: a verbatim subframe per
// channel (a side channel one bit wider), headers and footer, with room to
// spare for an encoder that chose worse than verbatim.
std::int64_t FrameSizeBound(int blockSize, int channels, int bits) {
  const std::int64_t verbatim = static_cast<std::int64_t>(channels) * ((static_cast<std::int64_t>(blockSize) * (bits + 1) + 7) / 8 + 8);
  return 2 * (verbatim + kMaxHeaderSize + 2) + 1024;
}

class Scanner {
 public:
  Scanner(SourceBytes& bytes, QString* reason) : bytes_(bytes), reason_(reason) {}

  std::unique_ptr<FlacStream> Run() {
    auto stream = std::make_unique<FlacStream>();
    std::int64_t pos = 0;
    if (!ReadMetadata(stream->info, pos)) return nullptr;
    const StreamInfo& info = stream->info;
    bits_ = info.bitsPerSample;
    if (info.bitsPerSample != 16 && info.bitsPerSample != 24)
      return Refuse(QStringLiteral("its %1-bit samples cannot be re-encoded at a cut's edges").arg(info.bitsPerSample));
    bool variable = false;
    while (pos < bytes_.Size()) {
      std::size_t n = 0;
      const std::uint8_t* d = bytes_.Bytes(pos, kMaxHeaderSize, &n);
      const auto header = ParseFrameHeader(d, n);
      if (!header) {
        if (!stream->frames.empty() && IsTrailingTag(pos)) break;
        return Refuse(QStringLiteral("it has no valid frame at byte %1").arg(pos));
      }
      if (stream->frames.empty()) variable = header->variableBlockSize;
      if (!Follows(*header, variable, stream->frames.size(), stream->length))
        return Refuse(QStringLiteral("its frame at byte %1 is out of sequence").arg(pos));
      if ((header->sampleRate && header->sampleRate != info.sampleRate) || header->channels != info.channels ||
          (header->bitsPerSample && header->bitsPerSample != info.bitsPerSample))
        return Refuse(QStringLiteral("its frame at byte %1 changes the rate, channels or bits per sample").arg(pos));
      const std::int64_t end = FrameEnd(pos, *header, variable, stream->frames.size(), stream->length);
      if (end < 0) return Refuse(QStringLiteral("its frame at byte %1 is damaged").arg(pos));
      stream->frames.push_back({pos, static_cast<int>(end - pos), stream->length, header->blockSize});
      stream->length += header->blockSize;
      pos = end;
    }
    if (stream->frames.empty()) return Refuse(QStringLiteral("it has no audio frames"));
    if (info.totalSamples != 0 && info.totalSamples != stream->length)
      return Refuse(QStringLiteral("its frames do not add up to the length its header gives"));
    return stream;
  }

 private:
  std::unique_ptr<FlacStream> Refuse(const QString& why) {
    if (reason_) *reason_ = why;
    return nullptr;
  }

  bool ReadMetadata(StreamInfo& info, std::int64_t& pos) {
    std::size_t n = 0;
    const std::uint8_t* d = bytes_.Bytes(0, 16, &n);
    if (n >= 4 && std::memcmp(d, "OggS", 4) == 0) return Refuse(QStringLiteral("it is an Ogg FLAC file")), false;
    pos = Id3v2Size(d, n);
    d = bytes_.Bytes(pos, 4 + 4 + kStreamInfoSize, &n);
    if (n < 4 || std::memcmp(d, "fLaC", 4) != 0) return Refuse(QStringLiteral("it is not a native FLAC file")), false;
    if (n < 8 + kStreamInfoSize || (d[4] & 0x7F) != kStreamInfoType ||
        ((d[5] << 16) | (d[6] << 8) | d[7]) != kStreamInfoSize)
      return Refuse(QStringLiteral("it has no valid STREAMINFO block")), false;
    const auto parsed = ParseStreamInfo(d + 8);
    if (!parsed) return Refuse(QStringLiteral("it has no valid STREAMINFO block")), false;
    info = *parsed;
    pos += 4;
    for (;;) {
      d = bytes_.Bytes(pos, 4, &n);
      if (n < 4) return Refuse(QStringLiteral("its metadata blocks are cut short")), false;
      const bool last = (d[0] & 0x80) != 0;
      pos += 4 + ((d[1] << 16) | (d[2] << 8) | d[3]);
      if (pos > bytes_.Size()) return Refuse(QStringLiteral("its metadata blocks are cut short")), false;
      if (last) return true;
    }
  }

  // Whether a header's coded number follows the frames before it.
  static bool Follows(const FrameHeader& h, bool variable, std::size_t index, std::int64_t firstSample) {
    if (h.variableBlockSize != variable) return false;
    return variable ? h.number == static_cast<std::uint64_t>(firstSample) : h.number == index;
  }

  bool IsTrailingTag(std::int64_t pos) {
    if (bytes_.Size() - pos != static_cast<std::int64_t>(kId3v1Size)) return false;
    std::size_t n = 0;
    const std::uint8_t* d = bytes_.Bytes(pos, 3, &n);
    return n == 3 && std::memcmp(d, "TAG", 3) == 0;
  }

  // The end of the frame at `pos`: the first place after its header where the
  // CRC-16 of the bytes so far is 0 and the next frame's header follows (or
  // the file, or an ID3v1 tag, ends). -1 when there is none within the most
  // bytes such a frame can take.
  std::int64_t FrameEnd(std::int64_t pos, const FrameHeader& h, bool variable, std::size_t index,
                        std::int64_t firstSample) {
    const std::int64_t limit = std::min(bytes_.Size(), pos + FrameSizeBound(h.blockSize, h.channels, bits_));
    std::size_t n = 0;
    const std::uint8_t* d = bytes_.Bytes(pos, static_cast<std::size_t>(limit - pos), &n);
    if (static_cast<std::int64_t>(n) < limit - pos) return -1;
    const std::size_t fileEnd = static_cast<std::size_t>(limit - pos);
    const bool limitIsFileEnd = limit == bytes_.Size();
    std::uint16_t crc = 0;
    std::size_t crcAt = 0;
    // Room for the header, one subframe header byte and the CRC-16.
    std::size_t at = static_cast<std::size_t>(h.size) + 3;
    auto crcZeroAt = [&](std::size_t end) {
      crc = Crc16(d + crcAt, end - crcAt, crc);
      crcAt = end;
      return crc == 0;
    };
    const std::size_t nextIndex = index + 1;
    const std::int64_t nextSample = firstSample + h.blockSize;
    while (at < fileEnd) {
      const auto* hit = static_cast<const std::uint8_t*>(std::memchr(d + at, 0xFF, fileEnd - at));
      if (!hit) break;
      const std::size_t q = static_cast<std::size_t>(hit - d);
      if (q + 1 < fileEnd && (d[q + 1] & 0xFE) == 0xF8) {
        const auto next = ParseFrameHeader(d + q, fileEnd - q);
        if (next && Follows(*next, variable, nextIndex, nextSample) && crcZeroAt(q)) return pos + static_cast<std::int64_t>(q);
      }
      at = q + 1;
    }
    if (!limitIsFileEnd) return -1;
    if (crcZeroAt(fileEnd)) return pos + static_cast<std::int64_t>(fileEnd);
    // The last frame may be followed by an ID3v1 tag.
    if (fileEnd >= static_cast<std::size_t>(h.size) + 3 + kId3v1Size &&
        std::memcmp(d + fileEnd - kId3v1Size, "TAG", 3) == 0 && Crc16(d, fileEnd - kId3v1Size) == 0)
      return pos + static_cast<std::int64_t>(fileEnd - kId3v1Size);
    return -1;
  }

  SourceBytes& bytes_;
  QString* reason_;
  int bits_ = 0;  // bits per sample, from STREAMINFO
};

}  // namespace

std::size_t FlacStream::FrameAt(std::int64_t position) const {
  const auto it = std::upper_bound(frames.begin(), frames.end(), position,
                                   [](std::int64_t p, const FlacFrame& f) { return p < f.firstSample; });
  return static_cast<std::size_t>(it - frames.begin()) - 1;
}

std::unique_ptr<FlacStream> ScanFlacStream(const QString& path, QString* reason) {
  try {
    SourceBytes bytes(path);
    return Scanner(bytes, reason).Run();
  } catch (const Error& e) {
    if (reason) *reason = QStringLiteral("it cannot be read (%1)").arg(QString::fromStdString(e.what()));
    return nullptr;
  }
}

}  // namespace snipwave::flaccopy
