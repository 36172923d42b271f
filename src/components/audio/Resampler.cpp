#include "Resampler.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <array>

#include "AvError.h"
#include "platform/Error.h"

namespace snipwave::audio {

namespace {

constexpr const char* kConvert = "Cannot convert the audio of";

// Speaker groups in the order extra channels are added; a pair is taken
// whole or skipped.
struct SpeakerGroup {
  std::uint64_t mask;
  int count;
};
constexpr std::array<SpeakerGroup, 19> kSpeakerOrder = {{
    {AV_CH_FRONT_LEFT | AV_CH_FRONT_RIGHT, 2},
    {AV_CH_FRONT_CENTER, 1},
    {AV_CH_LOW_FREQUENCY, 1},
    {AV_CH_BACK_LEFT | AV_CH_BACK_RIGHT, 2},
    {AV_CH_SIDE_LEFT | AV_CH_SIDE_RIGHT, 2},
    {AV_CH_FRONT_LEFT_OF_CENTER | AV_CH_FRONT_RIGHT_OF_CENTER, 2},
    {AV_CH_BACK_CENTER, 1},
    {AV_CH_TOP_CENTER, 1},
    {AV_CH_TOP_FRONT_LEFT | AV_CH_TOP_FRONT_RIGHT, 2},
    {AV_CH_TOP_FRONT_CENTER, 1},
    {AV_CH_TOP_BACK_LEFT | AV_CH_TOP_BACK_RIGHT, 2},
    {AV_CH_TOP_BACK_CENTER, 1},
    {AV_CH_LOW_FREQUENCY_2, 1},
    {AV_CH_WIDE_LEFT, 1},
    {AV_CH_WIDE_RIGHT, 1},
    {AV_CH_SURROUND_DIRECT_LEFT, 1},
    {AV_CH_SURROUND_DIRECT_RIGHT, 1},
    {AV_CH_STEREO_LEFT, 1},
    {AV_CH_STEREO_RIGHT, 1},
}};

}  // namespace

void DefaultChannelLayout(AVChannelLayout* layout, int channels) {
  av_channel_layout_default(layout, channels);
  if (layout->order == AV_CHANNEL_ORDER_NATIVE) return;
  std::uint64_t mask = 0;
  int left = channels;
  for (const SpeakerGroup& g : kSpeakerOrder) {
    if (g.count <= left) {
      mask |= g.mask;
      left -= g.count;
    }
  }
  if (left == 0) {
    av_channel_layout_uninit(layout);
    av_channel_layout_from_mask(layout, mask);
  }
}

Resampler::Resampler(int inRate, int inChannels, int outRate, int outChannels, AVSampleFormat outFormat,
                     const std::string& path)
    : inRate_(inRate), outRate_(outRate), outChannels_(outChannels), outFormat_(outFormat), path_(path) {
  AVChannelLayout inLayout{}, outLayout{};
  DefaultChannelLayout(&inLayout, inChannels);
  DefaultChannelLayout(&outLayout, outChannels);
  SwrContext* raw = nullptr;
  const int allocated =
      swr_alloc_set_opts2(&raw, &outLayout, outFormat, outRate, &inLayout, AV_SAMPLE_FMT_FLT, inRate, 0, nullptr);
  av_channel_layout_uninit(&inLayout);
  av_channel_layout_uninit(&outLayout);
  av::Check(allocated, kConvert, path);
  swr_.reset(raw);
  if (inChannels == 2 && outChannels == 1) {
    const double matrix[2] = {0.5, 0.5};
    av::Check(swr_set_matrix(raw, matrix, 2), kConvert, path);
  } else if (inChannels == 1 && outChannels == 2) {
    const double matrix[2] = {1.0, 1.0};
    av::Check(swr_set_matrix(raw, matrix, 1), kConvert, path);
  }
  const int rc = swr_init(raw);
  if (rc < 0 && inChannels != outChannels) {
    throw Error::Failed(kConvert, path,
                        std::to_string(inChannels) + " channels cannot be mixed to " + std::to_string(outChannels) +
                            " (" + av::ErrorText(rc) + ")");
  }
  av::Check(rc, kConvert, path);
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
  if (!in) return Drain();
  Reserve(swr_get_out_samples(swr_.get(), frames) + 16);
  const std::uint8_t* inPlanes[1] = {reinterpret_cast<const std::uint8_t*>(in)};
  const int produced = av::Check(swr_convert(swr_.get(), scratch_.data(), capacity_, inPlanes, frames), kConvert, path_);
  inFrames_ += frames;
  // The filter holds input back while the stream runs, so the output so far
  // never passes the stream's rounded length; only the tail is trimmed.
  outFrames_ += produced;
  return produced;
}

std::int64_t Resampler::RoundedLength() const { return (inFrames_ * outRate_ + inRate_ / 2) / inRate_; }

int Resampler::TrimToLength(int produced) {
  const int n =
      static_cast<int>(std::max<std::int64_t>(0, std::min<std::int64_t>(produced, RoundedLength() - outFrames_)));
  outFrames_ += n;
  return n;
}

int Resampler::Drain() {
  const std::int64_t missing = std::max<std::int64_t>(0, RoundedLength() - outFrames_);
  Reserve(static_cast<int>(std::max<std::int64_t>(swr_get_out_samples(swr_.get(), 0), missing)) + 16);
  const int produced = av::Check(swr_convert(swr_.get(), scratch_.data(), capacity_, nullptr, 0), kConvert, path_);
  int n = TrimToLength(produced);
  // Should the filter hold less than the rounded length, silence makes it up.
  const int pad = static_cast<int>(std::min<std::int64_t>(RoundedLength() - outFrames_, capacity_ - n));
  if (pad > 0) {
    av::Check(av_samples_set_silence(scratch_.data(), n, pad, outChannels_, outFormat_), kConvert, path_);
    outFrames_ += pad;
    n += pad;
  }
  return n;
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
