#pragma once

// Owning handles for every libav object the audio components hold. One deleter
// template covers both kinds of libav free function: those taking T** (which
// also null the pointer) and those taking T*.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
}

#include <memory>
#include <type_traits>

namespace snipwave::av {

template <auto FreeFn>
struct AVDeleter {
  template <typename T>
  void operator()(T* p) const {
    if (!p) return;
    if constexpr (std::is_invocable_v<decltype(FreeFn), T**>) {
      FreeFn(&p);
    } else {
      FreeFn(p);
    }
  }
};

// An output format context owns its AVIOContext; both go together.
inline void CloseOutputFormat(AVFormatContext* ctx) {
  if (ctx->pb && !(ctx->oformat->flags & AVFMT_NOFILE)) avio_closep(&ctx->pb);
  avformat_free_context(ctx);
}

using InputFormatPtr = std::unique_ptr<AVFormatContext, AVDeleter<&avformat_close_input>>;
using OutputFormatPtr = std::unique_ptr<AVFormatContext, AVDeleter<&CloseOutputFormat>>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, AVDeleter<&avcodec_free_context>>;
using FramePtr = std::unique_ptr<AVFrame, AVDeleter<&av_frame_free>>;
using PacketPtr = std::unique_ptr<AVPacket, AVDeleter<&av_packet_free>>;
using SwrPtr = std::unique_ptr<SwrContext, AVDeleter<&swr_free>>;
using AudioFifoPtr = std::unique_ptr<AVAudioFifo, AVDeleter<&av_audio_fifo_free>>;

}  // namespace snipwave::av
