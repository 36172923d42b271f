#include "FrameCodec.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "components/audio/AvError.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/mem.h>
}

namespace snipwave::flaccopy {
namespace {

constexpr int kLargestEdgeBlock = 4608;  // sample frames; libavcodec's own choice at 44.1 kHz

// FLAC's channel order for 1..8 channels.
std::uint64_t FlacChannelMask(int channels) {
  switch (channels) {
    case 1: return AV_CH_LAYOUT_MONO;
    case 2: return AV_CH_LAYOUT_STEREO;
    case 3: return AV_CH_LAYOUT_SURROUND;
    case 4: return AV_CH_LAYOUT_QUAD;
    case 5: return AV_CH_LAYOUT_5POINT0_BACK;
    case 6: return AV_CH_LAYOUT_5POINT1_BACK;
    case 7: return AV_CH_LAYOUT_6POINT1;
    default: return AV_CH_LAYOUT_7POINT1;
  }
}

void SetChannels(AVChannelLayout* layout, int channels) {
  av_channel_layout_uninit(layout);
  av_channel_layout_from_mask(layout, FlacChannelMask(channels));
}

}  // namespace

FrameDecoder::FrameDecoder(const StreamInfo& info, std::string path)
    : channels_(info.channels), bits_(info.bitsPerSample), path_(std::move(path)) {
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_FLAC);
  if (!codec) throw Error::Failed("Decoding FLAC frames of", path_, "libavcodec has no FLAC decoder");
  ctx_.reset(av::CheckAlloc(avcodec_alloc_context3(codec), "Decoding FLAC frames of", path_));
  ctx_->extradata = static_cast<std::uint8_t*>(
      av::CheckAlloc(av_mallocz(kStreamInfoSize + AV_INPUT_BUFFER_PADDING_SIZE), "Decoding FLAC frames of", path_));
  ctx_->extradata_size = kStreamInfoSize;
  // Only the rate, channels and bits matter here: libavcodec refuses blocks
  // above the stated largest, and a copy's re-encoded blocks (or a loose
  // source's) may be larger.
  StreamInfo bounds = info;
  bounds.minBlockSize = kMinBlockSize;
  bounds.maxBlockSize = 65535;
  bounds.minFrameSize = bounds.maxFrameSize = 0;
  WriteStreamInfo(bounds, ctx_->extradata);
  av::Check(avcodec_open2(ctx_.get(), codec, nullptr), "Decoding FLAC frames of", path_);
  packet_.reset(av::CheckAlloc(av_packet_alloc(), "Decoding FLAC frames of", path_));
  decoded_.reset(av::CheckAlloc(av_frame_alloc(), "Decoding FLAC frames of", path_));
}

int FrameDecoder::Decode(const std::uint8_t* frame, std::size_t size, PcmBytes& out) {
  av_packet_unref(packet_.get());
  av::Check(av_new_packet(packet_.get(), static_cast<int>(size)), "Decoding FLAC frames of", path_);
  std::memcpy(packet_->data, frame, size);
  av::Check(avcodec_send_packet(ctx_.get(), packet_.get()), "Decoding FLAC frames of", path_);
  av::Check(avcodec_receive_frame(ctx_.get(), decoded_.get()), "Decoding FLAC frames of", path_);
  const AVFrame& f = *decoded_;
  if (f.ch_layout.nb_channels != channels_)
    throw Error::Failed("Decoding FLAC frames of", path_, "a frame has another channel count");
  const auto format = static_cast<AVSampleFormat>(f.format);
  const bool planar = av_sample_fmt_is_planar(format);
  const AVSampleFormat packed = av_get_packed_sample_fmt(format);
  // libavcodec left-aligns samples in its 16- or 32-bit words.
  const int shift = (packed == AV_SAMPLE_FMT_S16 ? 16 : 32) - bits_;
  if ((packed != AV_SAMPLE_FMT_S16 && packed != AV_SAMPLE_FMT_S32) || shift < 0)
    throw Error::Failed("Decoding FLAC frames of", path_, "the decoder gave an unexpected sample format");
  const int width = SampleWidth(bits_);
  const std::size_t values = static_cast<std::size_t>(f.nb_samples) * static_cast<std::size_t>(channels_);
  const std::size_t at = out.size();
  out.resize(at + values * static_cast<std::size_t>(width));
  std::uint8_t* dst = out.data() + at;
  if (!planar && packed == AV_SAMPLE_FMT_S16 && shift == 0 && std::endian::native == std::endian::little) {
    std::memcpy(dst, f.extended_data[0], values * 2);  // already the MD5's layout
  } else {
    for (std::size_t i = 0; i < values; ++i) {
      const std::size_t c = i % static_cast<std::size_t>(channels_), k = i / static_cast<std::size_t>(channels_);
      const std::uint8_t* plane = planar ? f.extended_data[c] : f.extended_data[0];
      const std::size_t index = planar ? k : i;
      const std::int32_t v = packed == AV_SAMPLE_FMT_S16 ? reinterpret_cast<const std::int16_t*>(plane)[index] >> shift
                                                         : reinterpret_cast<const std::int32_t*>(plane)[index] >> shift;
      for (int b = 0; b < width; ++b) *dst++ = static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * b));
    }
  }
  const int n = f.nb_samples;
  av_frame_unref(decoded_.get());
  return n;
}

std::vector<std::vector<std::uint8_t>> EncodeFrames(const StreamInfo& info, const std::uint8_t* pcm,
                                                    std::int64_t frameCount, int compressionLevel,
                                                    const std::string& path) {
  const char* op = "Encoding the edges of";
  std::vector<std::vector<std::uint8_t>> frames;
  if (frameCount <= 0) return frames;
  const int channels = info.channels;
  // Near equal blocks: the last (the only short one) is never below 16 when
  // there is more than one.
  const std::int64_t blocks = (frameCount + kLargestEdgeBlock - 1) / kLargestEdgeBlock;
  const int blockSize = static_cast<int>((frameCount + blocks - 1) / blocks);

  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_FLAC);
  if (!codec) throw Error::Failed(op, path, "libavcodec has no FLAC encoder");
  av::CodecContextPtr ctx(av::CheckAlloc(avcodec_alloc_context3(codec), op, path));
  ctx->sample_rate = info.sampleRate;
  ctx->time_base = AVRational{1, info.sampleRate};
  SetChannels(&ctx->ch_layout, channels);
  const bool wide = info.bitsPerSample > 16;
  ctx->sample_fmt = wide ? AV_SAMPLE_FMT_S32 : AV_SAMPLE_FMT_S16;
  ctx->bits_per_raw_sample = info.bitsPerSample;
  ctx->compression_level = std::clamp(compressionLevel, 0, 12);
  ctx->frame_size = std::max(blockSize, kMinBlockSize);
  av::Check(avcodec_open2(ctx.get(), codec, nullptr), op, path);

  av::FramePtr frame(av::CheckAlloc(av_frame_alloc(), op, path));
  av::PacketPtr packet(av::CheckAlloc(av_packet_alloc(), op, path));
  auto drain = [&] {
    for (;;) {
      const int r = avcodec_receive_packet(ctx.get(), packet.get());
      if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return;
      av::Check(r, op, path);
      if (packet->size > 0) frames.emplace_back(packet->data, packet->data + packet->size);
      av_packet_unref(packet.get());
    }
  };
  const int shift = wide ? 32 - info.bitsPerSample : 0;
  const int width = SampleWidth(info.bitsPerSample);
  for (std::int64_t done = 0; done < frameCount;) {
    const int n = static_cast<int>(std::min<std::int64_t>(blockSize, frameCount - done));
    av_frame_unref(frame.get());
    frame->nb_samples = n;
    frame->format = ctx->sample_fmt;
    frame->sample_rate = info.sampleRate;
    av::Check(av_channel_layout_copy(&frame->ch_layout, &ctx->ch_layout), op, path);
    av::Check(av_frame_get_buffer(frame.get(), 0), op, path);
    const std::size_t values = static_cast<std::size_t>(n) * static_cast<std::size_t>(channels);
    const std::uint8_t* src = pcm + static_cast<std::size_t>(done * channels) * static_cast<std::size_t>(width);
    for (std::size_t i = 0; i < values; ++i, src += width) {
      std::uint32_t v = 0;
      for (int b = 0; b < width; ++b) v |= static_cast<std::uint32_t>(src[b]) << (8 * b);
      const int unused = 32 - 8 * width;
      const auto value = static_cast<std::int32_t>(v << unused) >> unused;  // sign-extended
      if (wide)
        reinterpret_cast<std::int32_t*>(frame->data[0])[i] = static_cast<std::int32_t>(static_cast<std::uint32_t>(value) << shift);
      else
        reinterpret_cast<std::int16_t*>(frame->data[0])[i] = static_cast<std::int16_t>(value);
    }
    av::Check(avcodec_send_frame(ctx.get(), frame.get()), op, path);
    drain();
    done += n;
  }
  av::Check(avcodec_send_frame(ctx.get(), nullptr), op, path);
  drain();

  // The encoder is lossless by design; a frame that does not give back its
  // samples would break the copy's one promise, so check.
  FrameDecoder check(info, path);
  PcmBytes back;
  const auto bytes = static_cast<std::size_t>(frameCount * channels) * static_cast<std::size_t>(width);
  back.reserve(bytes);
  for (const auto& f : frames) check.Decode(f.data(), f.size(), back);
  if (back.size() != bytes || !std::equal(back.begin(), back.end(), pcm))
    throw Error::Failed(op, path, "the FLAC encoder did not give back the samples it was given");
  return frames;
}

}  // namespace snipwave::flaccopy
