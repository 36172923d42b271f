#include "LoudnessMeter.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "components/audio/Resampler.h"
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

void Check(int rc, const char* step, const std::string& what) {
  if (rc == EBUR128_SUCCESS) return;
  const std::string reason = rc == EBUR128_ERROR_NOMEM ? "out of memory" : std::string(step) + " failed (libebur128 error " + std::to_string(rc) + ")";
  throw Error::Failed(kMeasure, what, reason);
}

}  // namespace

struct LoudnessMeter::State {
  ebur128_state* handle = nullptr;
  ~State() {
    if (handle) ebur128_destroy(&handle);
  }
};

LoudnessMeter::LoudnessMeter(int sampleRate, int channels, std::string what, bool truePeak)
    : sampleRate_(sampleRate), channels_(channels), what_(std::move(what)) {
  if (sampleRate < 1 || channels < 1) {
    throw Error::Failed(kMeasure, what_,
                        std::to_string(sampleRate) + " Hz with " + std::to_string(channels) + " channel(s) is no audio format");
  }
  state_ = std::make_unique<State>();
  state_->handle = ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(sampleRate),
                                EBUR128_MODE_I | EBUR128_MODE_LRA);
  if (!state_->handle) throw Error::Failed(kMeasure, what_, "libebur128 cannot measure this format or is out of memory");
  if (truePeak && sampleRate < kTruePeakRate) {
    // Planar out: the peak is read plane by plane, and the interleaving is saved.
    upsampler_ = std::make_unique<audio::Resampler>(sampleRate, channels, kTruePeakRate, channels, AV_SAMPLE_FMT_FLTP,
                                                    what_);
  }
  if (channels == 1) {
    // One channel counts once (not as dual mono), as FFmpeg's ebur128 filter counts it.
    Check(ebur128_set_channel(state_->handle, 0, EBUR128_CENTER), "setting the channel", what_);
  } else if (channels > 2) {
    static constexpr int kLayout[] = {EBUR128_LEFT, EBUR128_RIGHT, EBUR128_CENTER, EBUR128_UNUSED,
                                      EBUR128_LEFT_SURROUND, EBUR128_RIGHT_SURROUND};
    for (int c = 0; c < channels && c < 6; ++c) {
      Check(ebur128_set_channel(state_->handle, static_cast<unsigned>(c), kLayout[c]), "setting the channels", what_);
    }
  }
}

LoudnessMeter::~LoudnessMeter() = default;

void LoudnessMeter::Add(const float* interleaved, std::size_t frames) {
  Check(ebur128_add_frames_float(state_->handle, interleaved, frames), "adding frames", what_);
  // The sample peak of all channels at once: libebur128's is kept per
  // channel, one strided pass each, and only the highest is reported.
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
  Check(ebur128_loudness_global(state_->handle, &result.integratedLufs), "the integrated loudness", what_);
  Check(ebur128_loudness_range(state_->handle, &result.rangeLu), "the loudness range", what_);
  const double samplePeak = samplePeak_;
  // Upsampling only finds peaks between samples: never below the samples'.
  result.truePeakDbtp = AmplitudeToDb(std::max<double>(samplePeak, upsampledPeak_));
  result.samplePeakDbfs = AmplitudeToDb(samplePeak);
  return result;
}

Loudness LoudnessMeter::Combined(const std::vector<const LoudnessMeter*>& meters) {
  Loudness result;
  result.integratedLufs = result.truePeakDbtp = result.samplePeakDbfs = -std::numeric_limits<double>::infinity();
  if (meters.empty()) return result;
  std::vector<ebur128_state*> states;
  for (const LoudnessMeter* meter : meters) states.push_back(meter->state_->handle);
  const std::string& what = meters.front()->what_;
  Check(ebur128_loudness_global_multiple(states.data(), states.size(), &result.integratedLufs), "the integrated loudness",
        what);
  Check(ebur128_loudness_range_multiple(states.data(), states.size(), &result.rangeLu), "the loudness range", what);
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
