#include "OutputEncoder.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cstdio>

#include "AlacVerbatim.h"
#include "AvError.h"
#include "M4aGapless.h"
#include "Mp3Output.h"
#include "platform/Error.h"

namespace snipwave::audio {

namespace {

constexpr const char* kCreate = "Cannot create";
constexpr const char* kWrite = "Cannot write";
constexpr int kPcmFrameSize = 4096;  // frames per packet for codecs without a frame size
// An ALAC last frame this short is written verbatim here (AlacVerbatim.h):
// the encoder's own packet can be too small for it. The compressed form of
// a frame of more samples stays well inside that packet.
constexpr int kAlacVerbatimTail = 256;

AVSampleFormat PreferredFormat(const AVCodec* codec) {
  // Float first (no conversion loss), else the codec's first choice.
  if (!codec->sample_fmts) return AV_SAMPLE_FMT_FLTP;
  for (const AVSampleFormat* f = codec->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f) {
    if (*f == AV_SAMPLE_FMT_FLTP || *f == AV_SAMPLE_FMT_FLT) return *f;
  }
  return codec->sample_fmts[0];
}

}  // namespace

av::CodecContextPtr OpenEncoder(const EncoderSetup& setup, const std::string& path, bool globalHeader) {
  const AVCodec* codec = avcodec_find_encoder_by_name(setup.codec.c_str());
  if (!codec) throw Error::Failed(kCreate, path, "the encoder " + setup.codec + " is not available");
  av::CodecContextPtr ctx(av::CheckAlloc(avcodec_alloc_context3(codec), kCreate, path));
  ctx->sample_rate = setup.sampleRate;
  DefaultChannelLayout(&ctx->ch_layout, setup.channels);
  if (codec->ch_layouts) {
    // An encoder with its own list of layouts (ALAC: 3.0, 6.1 back, 7.1 wide)
    // gets its layout of the same channel count: the channels go through in
    // their order, only their names differ.
    bool listed = false;
    const AVChannelLayout* sameCount = nullptr;
    for (const AVChannelLayout* l = codec->ch_layouts; l->nb_channels != 0; ++l) {
      if (av_channel_layout_compare(l, &ctx->ch_layout) == 0) listed = true;
      if (!sameCount && l->nb_channels == setup.channels) sameCount = l;
    }
    if (!listed && sameCount) av::Check(av_channel_layout_copy(&ctx->ch_layout, sameCount), kCreate, path);
  }
  ctx->sample_fmt = setup.sampleFormat >= 0 ? static_cast<AVSampleFormat>(setup.sampleFormat) : PreferredFormat(codec);
  if (setup.bitsPerRawSample > 0) ctx->bits_per_raw_sample = setup.bitsPerRawSample;
  ctx->time_base = AVRational{1, setup.sampleRate};
  ctx->bit_rate = setup.bitRate;
  ctx->rc_min_rate = setup.minRate;
  ctx->rc_max_rate = setup.maxRate;
  if (setup.qualityMode) {
    // Without the QSCALE flag both LAME and Vorbis silently fall back to a bit rate.
    ctx->flags |= AV_CODEC_FLAG_QSCALE;
    ctx->global_quality = static_cast<int>(setup.quality * FF_QP2LAMBDA + (setup.quality >= 0 ? 0.5 : -0.5));
  }
  if (setup.compressionLevel >= 0) ctx->compression_level = setup.compressionLevel;
  if (globalHeader) ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  for (const auto& [name, value] : setup.codecOptions) {
    const int set = av_opt_set(ctx.get(), name.c_str(), value.c_str(), AV_OPT_SEARCH_CHILDREN);
    if (set < 0) {
      throw Error::Failed(kCreate, path, "the encoder " + setup.codec + " does not take " + name + "=" + value + " (" +
                                             av::ErrorText(set) + ")");
    }
  }
  const int rc = avcodec_open2(ctx.get(), codec, nullptr);
  if (rc < 0) {
    throw Error::Failed(kCreate, path, setup.description + " is not supported by the encoder (" + av::ErrorText(rc) + ")");
  }
  return ctx;
}

OutputEncoder::OutputEncoder(std::string path, const EncoderSetup& setup, int inRate, int inChannels)
    : path_(std::move(path)), setup_(setup), inRate_(inRate), inChannels_(inChannels) {
  AVFormatContext* raw = nullptr;
  av::Check(avformat_alloc_output_context2(&raw, nullptr, setup.container.c_str(), path_.c_str()), kCreate, path_);
  format_.reset(raw);
  codec_ = OpenEncoder(setup, path_, format_->oformat->flags & AVFMT_GLOBALHEADER);
  stream_ = av::CheckAlloc(avformat_new_stream(format_.get(), nullptr), kCreate, path_);
  av::Check(avcodec_parameters_from_context(stream_->codecpar, codec_.get()), kCreate, path_);
  stream_->time_base = codec_->time_base;

  frameSize_ = codec_->frame_size > 0 ? codec_->frame_size : kPcmFrameSize;
  variableFrameSize_ = codec_->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE;
  resampler_ = std::make_unique<Resampler>(inRate_, inChannels_, setup.sampleRate, setup.channels, codec_->sample_fmt, path_);
  fifo_.reset(av::CheckAlloc(av_audio_fifo_alloc(codec_->sample_fmt, setup.channels, frameSize_), kCreate, path_));
  frame_.reset(av::CheckAlloc(av_frame_alloc(), kCreate, path_));
  packet_.reset(av::CheckAlloc(av_packet_alloc(), kCreate, path_));

  if (setup.firstFrameDiscarded && !variableFrameSize_) {
    // The pre-roll: one encoder frame of silence for the decoder to drop.
    av::FramePtr silence(av::CheckAlloc(av_frame_alloc(), kCreate, path_));
    silence->nb_samples = frameSize_;
    silence->format = codec_->sample_fmt;
    av::Check(av_channel_layout_copy(&silence->ch_layout, &codec_->ch_layout), kCreate, path_);
    av::Check(av_frame_get_buffer(silence.get(), 0), kCreate, path_);
    av::Check(av_samples_set_silence(silence->extended_data, 0, frameSize_, setup.channels, codec_->sample_fmt),
              kCreate, path_);
    if (av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(silence->extended_data), frameSize_) < frameSize_) {
      throw Error::Failed(kCreate, path_, "out of memory");
    }
  }

  // "file:" keeps a name with a colon from being read as a protocol.
  av::Check(avio_open(&format_->pb, ("file:" + path_).c_str(), AVIO_FLAG_WRITE), kCreate, path_);
  AVDictionary* muxerOptions = nullptr;
  for (const auto& [name, value] : setup.muxerOptions) av_dict_set(&muxerOptions, name.c_str(), value.c_str(), 0);
  const int rc = avformat_write_header(format_.get(), &muxerOptions);
  av_dict_free(&muxerOptions);
  if (rc < 0) {
    format_.reset();
    std::remove(path_.c_str());
    av::Check(rc, kCreate, path_);
  }
}

OutputEncoder::~OutputEncoder() {
  if (finished_) return;
  try {
    Finish();
  } catch (...) {
    // Destruction cannot report; CloseFile is where failures surface.
  }
}

void OutputEncoder::SetInputFormat(int rate, int channels) {
  if (rate == inRate_ && channels == inChannels_) return;
  PushConverted(resampler_->Flush());
  resampler_ = std::make_unique<Resampler>(rate, channels, setup_.sampleRate, setup_.channels, codec_->sample_fmt, path_);
  inRate_ = rate;
  inChannels_ = channels;
}

void OutputEncoder::Write(const float* interleaved, std::size_t frames) {
  // Bounded steps keep the scratch buffers small whatever the caller passes.
  constexpr std::size_t kStep = 65536;
  while (frames > 0) {
    const std::size_t n = std::min(frames, kStep);
    PushConverted(resampler_->Convert(interleaved, static_cast<int>(n)));
    interleaved += n * static_cast<std::size_t>(inChannels_);
    frames -= n;
  }
}

void OutputEncoder::PushConverted(int frames) {
  if (frames <= 0) return;
  if (variableFrameSize_) {
    // PCM takes frames of any size: straight from the resampler to the encoder.
    av_frame_unref(frame_.get());
    frame_->nb_samples = frames;
    frame_->format = codec_->sample_fmt;
    frame_->sample_rate = codec_->sample_rate;
    av::Check(av_channel_layout_copy(&frame_->ch_layout, &codec_->ch_layout), kWrite, path_);
    av::Check(av_frame_get_buffer(frame_.get(), 0), kWrite, path_);
    av::Check(av_samples_copy(frame_->extended_data, resampler_->Planes(), 0, 0, frames, setup_.channels,
                              codec_->sample_fmt),
              kWrite, path_);
    frame_->pts = nextPts_;
    nextPts_ += frames;
    SendFrame(frame_.get());
    return;
  }
  auto* planes = reinterpret_cast<void* const*>(resampler_->Planes());
  if (av_audio_fifo_write(fifo_.get(), const_cast<void**>(planes), frames) < frames) {
    throw Error::Failed(kWrite, path_, "out of memory");
  }
  EncodeFromFifo(false);
}

void OutputEncoder::EncodeFromFifo(bool final) {
  while (av_audio_fifo_size(fifo_.get()) >= frameSize_ || (final && av_audio_fifo_size(fifo_.get()) > 0)) {
    const int n = std::min(frameSize_, av_audio_fifo_size(fifo_.get()));
    av_frame_unref(frame_.get());
    frame_->nb_samples = n;
    frame_->format = codec_->sample_fmt;
    frame_->sample_rate = codec_->sample_rate;
    av::Check(av_channel_layout_copy(&frame_->ch_layout, &codec_->ch_layout), kWrite, path_);
    av::Check(av_frame_get_buffer(frame_.get(), 0), kWrite, path_);
    if (av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(frame_->data), n) < n) {
      throw Error::Failed(kWrite, path_, "internal buffer underrun");
    }
    frame_->pts = nextPts_;
    nextPts_ += n;
    if (n < frameSize_ && n <= kAlacVerbatimTail && setup_.codec == "alac") {
      WriteAlacVerbatim(n);
      continue;
    }
    SendFrame(frame_.get());
  }
}

void OutputEncoder::WriteAlacVerbatim(int frames) {
  // libavcodec's ALAC encoder has no delay: everything before this frame has
  // been muxed already, so the frame takes its place at the end.
  const int bits = codec_->sample_fmt == AV_SAMPLE_FMT_S16P ? 16 : 24;
  const std::vector<std::uint8_t> bytes = AlacVerbatimFrame(frame_->extended_data, setup_.channels, frames, bits);
  av_packet_unref(packet_.get());
  av::Check(av_new_packet(packet_.get(), static_cast<int>(bytes.size())), kWrite, path_);
  std::copy(bytes.begin(), bytes.end(), packet_->data);
  packet_->pts = packet_->dts = frame_->pts;
  packet_->duration = frames;
  packet_->flags |= AV_PKT_FLAG_KEY;
  av_packet_rescale_ts(packet_.get(), codec_->time_base, stream_->time_base);
  packet_->stream_index = stream_->index;
  av::Check(av_interleaved_write_frame(format_.get(), packet_.get()), kWrite, path_);
  ++packetsWritten_;
}

void OutputEncoder::SendFrame(AVFrame* frame) {
  av::Check(avcodec_send_frame(codec_.get(), frame), kWrite, path_);
  DrainPackets();
}

void OutputEncoder::DrainPackets() {
  for (;;) {
    const int rc = avcodec_receive_packet(codec_.get(), packet_.get());
    if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return;
    av::Check(rc, kWrite, path_);
    av_packet_rescale_ts(packet_.get(), codec_->time_base, stream_->time_base);
    packet_->stream_index = stream_->index;
    av::Check(av_interleaved_write_frame(format_.get(), packet_.get()), kWrite, path_);
    if (++packetsWritten_ == 1 && setup_.container == "ogg") {
      // End the first Ogg page after the first audio packet. When a short
      // stream fits one page, libavformat's Ogg reader takes the end
      // granule for the start one and loses up to a block of the stream;
      // a page of its own for the first packet keeps the length exact.
      av::Check(av_write_frame(format_.get(), nullptr), kWrite, path_);
    }
  }
}

void OutputEncoder::Finish() {
  if (finished_) return;
  finished_ = true;  // whatever happens below, never twice
  PushConverted(resampler_->Flush());
  EncodeFromFifo(true);
  SendFrame(nullptr);
  av::Check(av_write_trailer(format_.get()), kWrite, path_);
  const int rc = avio_closep(&format_->pb);
  av::Check(rc, kWrite, path_);
  if (setup_.container == "ipod" && codec_->initial_padding > 0) {
    // The edit list holds delay and length already; players that read only
    // the iTunes comment need it as well. The encoded frames are whole
    // codec frames: what they hold beyond delay and audio is the padding.
    const std::int64_t delay = codec_->initial_padding;
    const std::int64_t padding = std::max<std::int64_t>(0, packetsWritten_ * frameSize_ - delay - nextPts_);
    WriteItunesGapless(path_, delay, padding, nextPts_);
  }
}

std::unique_ptr<OutputFile> CreateOutputFile(const std::string& path, const EncoderSetup& setup, int inRate,
                                             int inChannels) {
  if (setup.codec == "libmp3lame") return std::make_unique<Mp3Output>(path, setup, inRate, inChannels);
  return std::make_unique<OutputEncoder>(path, setup, inRate, inChannels);
}

}  // namespace snipwave::audio
