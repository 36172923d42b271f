#include "Resampler.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include "AvError.h"

namespace snipwave::audio {

Resampler::Resampler(int inRate, int inChannels, int outRate, int outChannels, AVSampleFormat outFormat,
                     const std::string& path)
    : outRate_(outRate), outChannels_(outChannels), outFormat_(outFormat), path_(path) {
  AVChannelLayout inLayout{}, outLayout{};
  av_channel_layout_default(&inLayout, inChannels);
  av_channel_layout_default(&outLayout, outChannels);
  SwrContext* raw = nullptr;
  av::Check(swr_alloc_set_opts2(&raw, &outLayout, outFormat, outRate, &inLayout, AV_SAMPLE_FMT_FLT, inRate, 0, nullptr),
            "Cannot convert the audio of", path);
  swr_.reset(raw);
  if (inChannels == 2 && outChannels == 1) {
    const double matrix[2] = {0.5, 0.5};
    av::Check(swr_set_matrix(raw, matrix, 2), "Cannot convert the audio of", path);
  } else if (inChannels == 1 && outChannels == 2) {
    const double matrix[2] = {1.0, 1.0};
    av::Check(swr_set_matrix(raw, matrix, 1), "Cannot convert the audio of", path);
  }
  av::Check(swr_init(raw), "Cannot convert the audio of", path);
  av_channel_layout_uninit(&inLayout);
  av_channel_layout_uninit(&outLayout);
}

void Resampler::Reserve(int frames) {
  if (frames <= capacity_) return;
  const int planes = av_sample_fmt_is_planar(outFormat_) ? outChannels_ : 1;
  const int bytesPerPlane =
      frames * av_get_bytes_per_sample(outFormat_) * (av_sample_fmt_is_planar(outFormat_) ? 1 : outChannels_);
  storage_.assign(static_cast<std::size_t>(planes), std::vector<std::uint8_t>(static_cast<std::size_t>(bytesPerPlane)));
  scratch_.clear();
  for (auto& plane : storage_) scratch_.push_back(plane.data());
  capacity_ = frames;
}

int Resampler::Convert(const float* in, int frames) {
  const int room = swr_get_out_samples(swr_.get(), frames) + 16;
  Reserve(room);
  const std::uint8_t* inPlanes[1] = {reinterpret_cast<const std::uint8_t*>(in)};
  return av::Check(swr_convert(swr_.get(), scratch_.data(), capacity_, in ? inPlanes : nullptr, in ? frames : 0),
                   "Cannot convert the audio of", path_);
}

void Resampler::ConvertAppend(const float* in, int frames, std::vector<float>& out) {
  const int n = Convert(in, frames);
  const float* f = reinterpret_cast<const float*>(scratch_[0]);
  out.insert(out.end(), f, f + static_cast<std::ptrdiff_t>(n) * outChannels_);
}

void Resampler::FlushAppend(std::vector<float>& out) {
  for (;;) {
    const int n = Convert(nullptr, 0);
    if (n <= 0) break;
    const float* f = reinterpret_cast<const float*>(scratch_[0]);
    out.insert(out.end(), f, f + static_cast<std::ptrdiff_t>(n) * outChannels_);
  }
}

}  // namespace snipwave::audio
