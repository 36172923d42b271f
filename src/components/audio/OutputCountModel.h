#pragma once

#include <cstdint>
#include <memory>

#include "PacketIndex.h"

struct AVCodecParameters;
struct AVPacket;
struct AVVorbisParseContext;

namespace snipwave::audio {

// Frames (at 48 kHz) an Opus packet of `size` bytes decodes to, from its TOC
// byte and, for code 3, its frame count byte (RFC 6716 3.1; a multistream
// packet starts with its first stream's TOC); 0 for a packet no decoder
// accepts (longer than 120 ms, or too short to hold what its TOC announces).
std::uint32_t OpusPacketFrames(const std::uint8_t* data, int size);

// Predicts, packet by packet and without decoding, how many frames libavcodec
// yields for a stream read from its start, so that the length of a file is
// exact from one demux pass:
// - PCM, ADPCM, FLAC, ALAC and MPEG audio: the packet's own duration (an
//   MPEG frame cut short by a truncated file still decodes to a whole frame;
//   FLAC in Ogg: the block size in the frame header);
// - AAC: one whole frame (1024) per packet, whatever the container says;
// - Opus: the frames its TOC byte announces (the decoder is told not to
//   apply the pre-skip itself);
// - Vorbis: the block-size overlap of each packet (libavcodec's parser), the
//   first audio packet yielding nothing;
// - WMA v1/v2: frame length × frames per superframe (one, or the count in the
//   superframe header when the bit reservoir is used), the very first frame
//   being swallowed by the decoder, and each packet's frames coming out one
//   packet late (the last ones only when the decoder is drained at the end).
//   A fresh decoder started in mid-stream behaves the same way, which is what
//   lets a seek place its output exactly.
// Then the trims the demuxer asks for (AV_PKT_DATA_SKIP_SAMPLES: LAME delay
// and padding) are applied with libavcodec's rules: a start skip carries over
// into later frames, an end discard applies only when it fits the frame.
// Vorbis and Opus packets get no trims here: the reader sets them from the
// granule positions.
class OutputCountModel {
 public:
  OutputCountModel(const AVCodecParameters* par, int timeBaseNum, int timeBaseDen);
  ~OutputCountModel();
  OutputCountModel(const OutputCountModel&) = delete;
  OutputCountModel& operator=(const OutputCountModel&) = delete;

  // The codecs whose output this model knows (and which the reader accepts).
  static bool Supports(int codecId);

  PacketOutput Next(const AVPacket& packet);
  // What the decoder still yields when drained after the last packet.
  PacketOutput Drain();

 private:
  std::uint32_t RawFrames(const AVPacket& packet, bool firstOfStream);
  PacketOutput Trim(PacketOutput out, std::int64_t discard);
  std::uint32_t MpegFrames(const AVPacket& packet) const;
  std::uint32_t WmaFrames(const AVPacket& packet, bool firstOfStream) const;

  int codecId_;
  int sampleRate_;
  int blockAlign_;
  int timeBaseNum_, timeBaseDen_;
  bool wmaBitReservoir_ = false;
  int wmaFrameLen_ = 2048;
  AVVorbisParseContext* vorbis_ = nullptr;
  const AVCodecParameters* par_;
  bool first_ = true;
  std::uint32_t delayed_ = 0;  // WMA: frames of the previous packet, not yet out
  std::int64_t pendingSkip_ = 0;
};

}  // namespace snipwave::audio
