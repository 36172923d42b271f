#include "level/TruePeakScan.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "components/audio/Resampler.h"

namespace snipwave::level {

namespace {
constexpr int kTruePeakRate = 192000;
// Bounded steps keep the upsampler's scratch small whatever the caller passes.
constexpr std::size_t kStep = 16384;
}  // namespace

TruePeakScan::TruePeakScan(int channels, int sampleRate) : channels_(std::max(1, channels)) {
  if (sampleRate > 0 && sampleRate < kTruePeakRate)
    upsampler_ = std::make_unique<audio::Resampler>(sampleRate, channels_, kTruePeakRate, channels_,
                                                    AV_SAMPLE_FMT_FLT, "the true peak");
}

TruePeakScan::~TruePeakScan() = default;

void TruePeakScan::Take(int produced) {
  const auto* up = reinterpret_cast<const float*>(upsampler_->Planes()[0]);
  float peak = peak_;
  for (std::size_t i = 0, n = std::size_t(produced) * std::size_t(channels_); i < n; ++i)
    peak = std::max(peak, std::fabs(up[i]));
  peak_ = peak;
}

void TruePeakScan::Add(const float* interleaved, std::size_t frames) {
  // The samples themselves: upsampling only adds the points between them.
  float peak = peak_;
  for (std::size_t i = 0, n = frames * std::size_t(channels_); i < n; ++i)
    peak = std::max(peak, std::fabs(interleaved[i]));
  peak_ = peak;
  if (!upsampler_) return;
  for (std::size_t done = 0; done < frames; done += kStep) {
    const int n = static_cast<int>(std::min(kStep, frames - done));
    Take(upsampler_->Convert(interleaved + done * std::size_t(channels_), n));
  }
}

double TruePeakScan::PeakDb() {
  if (upsampler_ && !flushed_) {
    Take(upsampler_->Flush());
    flushed_ = true;
  }
  return peak_ > 0 ? 20.0 * std::log10(double(peak_)) : -std::numeric_limits<double>::infinity();
}

}  // namespace snipwave::level
