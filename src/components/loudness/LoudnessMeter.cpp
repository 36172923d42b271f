#include "LoudnessMeter.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "components/audio/Resampler.h"
#include "components/loudness/KWeightedBlocks.h"
#include "platform/Error.h"

namespace snipwave::loudness {

namespace {

constexpr const char* kMeasure = "Cannot measure the loudness of";
// The rate the true peak is read at (4x 48 kHz), as FFmpeg's ebur128 filter reads it.
constexpr int kTruePeakRate = 192000;

// The highest |x| of `count` samples and `peak`. Eight lanes apart, so that
// the compiler keeps them in one vector register instead of one long chain
// of dependent maxima (the upsampled true peak reads 4.35 samples per input).
float PeakAbs(const float* x, std::size_t count, float peak) {
  float lanes[8] = {peak, peak, peak, peak, peak, peak, peak, peak};
  std::size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    for (int k = 0; k < 8; ++k) {
      const float v = std::fabs(x[i + std::size_t(k)]);
      lanes[k] = lanes[k] < v ? v : lanes[k];
    }
  }
  for (; i < count; ++i) lanes[0] = std::max(lanes[0], std::fabs(x[i]));
  return *std::max_element(lanes, lanes + 8);
}

// The weight of each channel's energy: 1 and 2 are left and right (one
// channel alone counted once, as FFmpeg's ebur128 filter counts it); from 3
// on the ITU layout L R C LFE Ls Rs, the LFE and any further channel left out.
std::vector<double> ChannelWeights(int channels) {
  if (channels <= 2) return std::vector<double>(static_cast<std::size_t>(channels), 1.0);
  static constexpr double kLayout[] = {1.0, 1.0, 1.0, 0.0, 1.41, 1.41};
  std::vector<double> weights(static_cast<std::size_t>(channels), 0.0);
  for (int c = 0; c < channels && c < 6; ++c) weights[static_cast<std::size_t>(c)] = kLayout[c];
  return weights;
}

}  // namespace

struct LoudnessMeter::State {
  KWeightedBlocks blocks;
};

LoudnessMeter::LoudnessMeter(int sampleRate, int channels, std::string what, bool truePeak)
    : sampleRate_(sampleRate), channels_(channels), what_(std::move(what)) {
  if (sampleRate < 1 || channels < 1) {
    throw Error::Failed(kMeasure, what_,
                        std::to_string(sampleRate) + " Hz with " + std::to_string(channels) + " channel(s) is no audio format");
  }
  state_ = std::make_unique<State>(State{KWeightedBlocks(sampleRate, ChannelWeights(channels))});
  if (truePeak && sampleRate < kTruePeakRate) {
    // Planar out: the peak is read plane by plane, and the interleaving is saved.
    upsampler_ = std::make_unique<audio::Resampler>(sampleRate, channels, kTruePeakRate, channels, AV_SAMPLE_FMT_FLTP,
                                                    what_);
  }
}

LoudnessMeter::~LoudnessMeter() = default;

void LoudnessMeter::Add(const float* interleaved, std::size_t frames) {
  state_->blocks.Add(interleaved, frames);
  samplePeak_ = PeakAbs(interleaved, frames * static_cast<std::size_t>(channels_), samplePeak_);
  if (!upsampler_) return;
  // Bounded steps keep the upsampler's scratch small whatever the caller passes.
  constexpr std::size_t kStep = 16384;
  for (std::size_t done = 0; done < frames; done += kStep) {
    const int n = static_cast<int>(std::min(kStep, frames - done));
    const int produced = upsampler_->Convert(interleaved + done * static_cast<std::size_t>(channels_), n);
    for (int c = 0; c < channels_; ++c) {
      const auto* plane = reinterpret_cast<const float*>(upsampler_->Planes()[c]);
      upsampledPeak_ = PeakAbs(plane, static_cast<std::size_t>(produced), upsampledPeak_);
    }
  }
}

Loudness LoudnessMeter::Result() const {
  Loudness result;
  result.integratedLufs = KWeightedBlocks::Integrated({&state_->blocks});
  result.rangeLu = KWeightedBlocks::Range({&state_->blocks});
  // Upsampling only finds peaks between samples: never below the samples'.
  result.truePeakDbtp = AmplitudeToDb(std::max(samplePeak_, upsampledPeak_));
  result.samplePeakDbfs = AmplitudeToDb(samplePeak_);
  return result;
}

Loudness LoudnessMeter::Combined(const std::vector<const LoudnessMeter*>& meters) {
  Loudness result;
  result.integratedLufs = result.truePeakDbtp = result.samplePeakDbfs = -std::numeric_limits<double>::infinity();
  if (meters.empty()) return result;
  std::vector<const KWeightedBlocks*> parts;
  for (const LoudnessMeter* meter : meters) parts.push_back(&meter->state_->blocks);
  result.integratedLufs = KWeightedBlocks::Integrated(parts);
  result.rangeLu = KWeightedBlocks::Range(parts);
  for (const LoudnessMeter* meter : meters) {
    const Loudness one = meter->Result();
    result.truePeakDbtp = std::max(result.truePeakDbtp, one.truePeakDbtp);
    result.samplePeakDbfs = std::max(result.samplePeakDbfs, one.samplePeakDbfs);
  }
  return result;
}

double AmplitudeToDb(double amplitude) {
  if (amplitude <= 0) return -std::numeric_limits<double>::infinity();
  return 20.0 * std::log10(amplitude);
}

double DbToAmplitude(double db) { return std::pow(10.0, db / 20.0); }

}  // namespace snipwave::loudness
