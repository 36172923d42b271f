#include "FrameToFloat.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/samplefmt.h>
}

#include <cstdint>
#include <stdexcept>

#include "platform/Error.h"

namespace snipwave::audio {

namespace {

template <typename T>
float ToFloat(T v);
template <>
float ToFloat(float v) { return v; }
template <>
float ToFloat(double v) { return static_cast<float>(v); }
template <>
float ToFloat(std::int16_t v) { return v * (1.0f / 32768.0f); }
template <>
float ToFloat(std::int32_t v) { return static_cast<float>(v) * (1.0f / 2147483648.0f); }
template <>
float ToFloat(std::uint8_t v) { return (static_cast<int>(v) - 128) * (1.0f / 128.0f); }

template <typename T>
void Copy(const AVFrame& f, bool planar, int channels, int first, int count, float* dst) {
  if (planar) {
    for (int c = 0; c < channels; ++c) {
      const T* src = reinterpret_cast<const T*>(f.extended_data[c]) + first;
      for (int i = 0; i < count; ++i) dst[static_cast<std::ptrdiff_t>(i) * channels + c] = ToFloat<T>(src[i]);
    }
  } else {
    const T* src = reinterpret_cast<const T*>(f.extended_data[0]) + static_cast<std::ptrdiff_t>(first) * channels;
    const std::ptrdiff_t n = static_cast<std::ptrdiff_t>(count) * channels;
    for (std::ptrdiff_t i = 0; i < n; ++i) dst[i] = ToFloat<T>(src[i]);
  }
}

}  // namespace

void AppendAsFloat(const AVFrame& frame, int skipFront, int skipBack, std::vector<float>& out) {
  const int channels = frame.ch_layout.nb_channels;
  const int count = frame.nb_samples - skipFront - skipBack;
  if (count <= 0 || channels <= 0) return;
  const std::size_t at = out.size();
  out.resize(at + static_cast<std::size_t>(count) * static_cast<std::size_t>(channels));
  float* dst = out.data() + at;
  const auto fmt = static_cast<AVSampleFormat>(frame.format);
  const bool planar = av_sample_fmt_is_planar(fmt);
  switch (av_get_packed_sample_fmt(fmt)) {
    case AV_SAMPLE_FMT_FLT: Copy<float>(frame, planar, channels, skipFront, count, dst); break;
    case AV_SAMPLE_FMT_DBL: Copy<double>(frame, planar, channels, skipFront, count, dst); break;
    case AV_SAMPLE_FMT_S16: Copy<std::int16_t>(frame, planar, channels, skipFront, count, dst); break;
    case AV_SAMPLE_FMT_S32: Copy<std::int32_t>(frame, planar, channels, skipFront, count, dst); break;
    case AV_SAMPLE_FMT_U8: Copy<std::uint8_t>(frame, planar, channels, skipFront, count, dst); break;
    default:
      out.resize(at);
      throw Error(std::string("Unsupported decoded sample format ") + (av_get_sample_fmt_name(fmt) ?: "?"));
  }
}

}  // namespace snipwave::audio
