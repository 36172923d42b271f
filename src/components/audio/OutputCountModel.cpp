#include "OutputCountModel.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/vorbis_parser.h>
#include <libavutil/intreadwrite.h>
#include <libavutil/mathematics.h>
}

#include <algorithm>

namespace snipwave::audio {

namespace {

// Frame length of WMA v1/v2 by sample rate (the decoder's own rule).
int WmaFrameLength(int sampleRate, int version) {
  if (sampleRate <= 16000) return 512;
  if (sampleRate <= 22050 || (sampleRate <= 32000 && version == 1)) return 1024;
  return 2048;
}

// Block size of a FLAC frame from its header (sync code, block size code,
// the frame or sample number in UTF-8-like coding, then an optional explicit
// size); 0 when the packet does not start with a frame header.
std::uint32_t FlacBlockFrames(const std::uint8_t* data, int size) {
  if (size < 5 || data[0] != 0xFF || (data[1] & 0xFE) != 0xF8) return 0;
  const int code = data[2] >> 4;
  if (code == 1) return 192;
  if (code >= 2 && code <= 5) return 576u << (code - 2);
  if (code >= 8) return 256u << (code - 8);
  if (code == 0) return 0;
  // Explicit size after the coded number: its length is given by the first
  // byte's leading ones (one byte when it has none).
  int ones = 0;
  for (std::uint8_t lead = data[4]; lead & 0x80; lead = static_cast<std::uint8_t>(lead << 1)) ++ones;
  if (ones == 1 || ones > 7) return 0;  // 10xxxxxx is no lead byte
  const int numberBytes = ones == 0 ? 1 : ones;
  const int at = 4 + numberBytes;
  if (code == 6) return at < size ? data[at] + 1u : 0;
  return at + 1 < size ? (static_cast<std::uint32_t>(data[at]) << 8 | data[at + 1]) + 1u : 0;
}

}  // namespace

std::uint32_t OpusPacketFrames(const std::uint8_t* data, int size) {
  if (size < 1) return 0;
  const int config = data[0] >> 3;
  int frameSize;
  if (config < 12) {
    frameSize = config % 4 == 3 ? 2880 : 480 << (config % 4);  // SILK: 10, 20, 40, 60 ms
  } else if (config < 16) {
    frameSize = 480 << (config & 1);  // hybrid: 10, 20 ms
  } else {
    frameSize = 120 << (config & 3);  // CELT: 2.5, 5, 10, 20 ms
  }
  int count = 1;
  switch (data[0] & 3) {
    case 0: count = 1; break;
    case 1:
    case 2: count = 2; break;
    default:
      if (size < 2) return 0;
      count = data[1] & 0x3F;
  }
  const int frames = count * frameSize;
  return frames > 5760 ? 0 : static_cast<std::uint32_t>(frames);
}

bool OutputCountModel::Supports(int codecId) {
  switch (codecId) {
    case AV_CODEC_ID_MP3:
    case AV_CODEC_ID_MP2:
    case AV_CODEC_ID_MP1:
    case AV_CODEC_ID_VORBIS:
    case AV_CODEC_ID_OPUS:
    case AV_CODEC_ID_FLAC:
    case AV_CODEC_ID_WMAV1:
    case AV_CODEC_ID_WMAV2:
    case AV_CODEC_ID_PCM_S16LE:
    case AV_CODEC_ID_PCM_U8:
    case AV_CODEC_ID_PCM_S24LE:
    case AV_CODEC_ID_PCM_S32LE:
    case AV_CODEC_ID_PCM_F32LE:
    case AV_CODEC_ID_PCM_F64LE:
    case AV_CODEC_ID_PCM_ALAW:
    case AV_CODEC_ID_PCM_MULAW:
    // AIFF and AIFF-C (big-endian PCM, 'sowt' little-endian, 'fl32'/'fl64').
    case AV_CODEC_ID_PCM_S8:
    case AV_CODEC_ID_PCM_S16BE:
    case AV_CODEC_ID_PCM_S24BE:
    case AV_CODEC_ID_PCM_S32BE:
    case AV_CODEC_ID_PCM_F32BE:
    case AV_CODEC_ID_PCM_F64BE:
    // ADPCM in WAV (IMA, Microsoft) and AIFF-C ('ima4'): whole blocks per packet.
    case AV_CODEC_ID_ADPCM_IMA_WAV:
    case AV_CODEC_ID_ADPCM_MS:
    case AV_CODEC_ID_ADPCM_IMA_QT:
    case AV_CODEC_ID_ALAC:
    case AV_CODEC_ID_AAC:
      return true;
    default:
      return false;
  }
}

OutputCountModel::OutputCountModel(const AVCodecParameters* par, int timeBaseNum, int timeBaseDen)
    : codecId_(par->codec_id),
      sampleRate_(par->sample_rate),
      blockAlign_(par->block_align),
      timeBaseNum_(timeBaseNum),
      timeBaseDen_(timeBaseDen),
      par_(par) {
  if (codecId_ == AV_CODEC_ID_VORBIS && par->extradata) {
    vorbis_ = av_vorbis_parse_init(par->extradata, par->extradata_size);
  }
  if (codecId_ == AV_CODEC_ID_WMAV1 || codecId_ == AV_CODEC_ID_WMAV2) {
    const int version = codecId_ == AV_CODEC_ID_WMAV1 ? 1 : 2;
    int flags2 = 0;
    if (version == 1 && par->extradata_size >= 4) flags2 = AV_RL16(par->extradata + 2);
    if (version == 2 && par->extradata_size >= 6) flags2 = AV_RL16(par->extradata + 4);
    wmaBitReservoir_ = flags2 & 0x0002;
    wmaFrameLen_ = WmaFrameLength(sampleRate_, version);
  }
}

OutputCountModel::~OutputCountModel() {
  if (vorbis_) av_vorbis_parse_free(&vorbis_);
}

std::uint32_t OutputCountModel::MpegFrames(const AVPacket& packet) const {
  if (packet.duration > 0) {
    return static_cast<std::uint32_t>(av_rescale(packet.duration, static_cast<std::int64_t>(timeBaseNum_) * sampleRate_,
                                                 timeBaseDen_));
  }
  const int d = av_get_audio_frame_duration2(const_cast<AVCodecParameters*>(par_), packet.size);
  return d > 0 ? static_cast<std::uint32_t>(d) : 0;
}

std::uint32_t OutputCountModel::WmaFrames(const AVPacket& packet, bool firstOfStream) const {
  if (blockAlign_ <= 0 || packet.size < blockAlign_) return 0;
  const int superframes = packet.size / blockAlign_;
  std::int64_t frames = 0;
  for (int s = 0; s < superframes; ++s) {
    if (wmaBitReservoir_) {
      int n = packet.data[static_cast<std::ptrdiff_t>(s) * blockAlign_] & 0x0F;
      if (firstOfStream && s == 0) --n;
      frames += std::max(n, 0);
    } else {
      frames += (firstOfStream && s == 0) ? 0 : 1;
    }
  }
  return static_cast<std::uint32_t>(frames * wmaFrameLen_);
}

std::uint32_t OutputCountModel::RawFrames(const AVPacket& packet, bool firstOfStream) {
  switch (codecId_) {
    case AV_CODEC_ID_VORBIS: {
      if (!vorbis_) return 0;
      int flags = 0;
      const int d = av_vorbis_parse_frame_flags(vorbis_, packet.data, packet.size, &flags);
      if (d < 0 || (flags & VORBIS_FLAG_HEADER)) return 0;
      return firstOfStream ? 0 : static_cast<std::uint32_t>(d);
    }
    case AV_CODEC_ID_OPUS:
      return OpusPacketFrames(packet.data, packet.size);
    case AV_CODEC_ID_FLAC:
      if (const std::uint32_t block = FlacBlockFrames(packet.data, packet.size)) return block;
      return MpegFrames(packet);
    case AV_CODEC_ID_WMAV1:
    case AV_CODEC_ID_WMAV2:
      return WmaFrames(packet, firstOfStream);
    case AV_CODEC_ID_AAC:
      // Every AAC-LC access unit decodes to a whole frame, the priming one and
      // the last one too, whatever shorter duration the container gives it.
      return par_->frame_size > 0 ? static_cast<std::uint32_t>(par_->frame_size) : 1024;
    default:
      return MpegFrames(packet);
  }
}

PacketOutput OutputCountModel::Next(const AVPacket& packet) {
  PacketOutput out;
  out.raw = RawFrames(packet, first_);
  first_ = false;
  if (codecId_ == AV_CODEC_ID_WMAV1 || codecId_ == AV_CODEC_ID_WMAV2) {
    // The WMA decoder hands out each packet's frames one packet later (and
    // the last ones when drained at the end).
    std::swap(out.raw, delayed_);
  }

  std::int64_t discard = 0;
  std::size_t sideSize = 0;
  const std::uint8_t* side = av_packet_get_side_data(&packet, AV_PKT_DATA_SKIP_SAMPLES, &sideSize);
  // Vorbis and Opus ends are taken from the granule positions by the reader
  // itself (the demuxer's trims miss single-page streams and negative starts).
  if (side && sideSize >= 10 && codecId_ != AV_CODEC_ID_VORBIS && codecId_ != AV_CODEC_ID_OPUS) {
    pendingSkip_ = std::max<std::int64_t>(0, static_cast<std::int32_t>(AV_RL32(side)));
    discard = AV_RL32(side + 4);
  }
  out = Trim(out, discard);
  // A packet the container marks as outside the presentation (before an
  // edit list's start) is decoded for its state only.
  if (packet.flags & AV_PKT_FLAG_DISCARD) out.front = out.raw - out.back;
  return out;
}

PacketOutput OutputCountModel::Drain() {
  PacketOutput out;
  out.raw = delayed_;
  delayed_ = 0;
  return Trim(out, 0);
}

PacketOutput OutputCountModel::Trim(PacketOutput out, std::int64_t discard) {
  if (out.raw == 0) return out;
  const std::int64_t front = std::min<std::int64_t>(pendingSkip_, out.raw);
  pendingSkip_ -= front;
  out.front = static_cast<std::uint32_t>(front);
  const std::int64_t left = out.raw - front;
  if (left > 0 && discard > 0 && discard <= left) out.back = static_cast<std::uint32_t>(discard);
  return out;
}

}  // namespace snipwave::audio
