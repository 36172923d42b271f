#include "components/loudness/KWeightedBlocks.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace snipwave::loudness {

namespace {

constexpr double kAbsoluteGateLufs = -70.0;
constexpr double kLufsOffset = -0.691;  // BS.1770: loudness = -0.691 + 10 log10(energy)

double EnergyToLufs(double energy) {
  return energy > 0 ? kLufsOffset + 10.0 * std::log10(energy) : -std::numeric_limits<double>::infinity();
}
double LufsToEnergy(double lufs) { return std::pow(10.0, (lufs - kLufsOffset) / 10.0); }

// Filter states this small are set to zero between steps: their sound is far
// below any gate, and left alone a long silence decays them into denormals,
// which cost a hundred times the arithmetic.
constexpr double kNegligible = 1e-20;
void Flush(double& v) {
  if (std::abs(v) < kNegligible) v = 0;
}

}  // namespace

KWeightedBlocks::KWeightedBlocks(int sampleRate, std::vector<double> weights)
    : channels_(static_cast<int>(weights.size())),
      weights_(std::move(weights)),
      filters_(weights_.size()),
      stepFrames_(static_cast<std::size_t>(std::max(1, sampleRate / 10))) {
  // The pre-filter: a high shelf of +4 dB above about 1.7 kHz.
  const double rate = sampleRate;
  double f0 = 1681.974450955533, gain = 3.999843853973347, q = 0.7071752369554196;
  double k = std::tan(std::numbers::pi * f0 / rate);
  const double vh = std::pow(10.0, gain / 20.0), vb = std::pow(vh, 0.4996667741545416);
  const double a0 = 1.0 + k / q + k * k;
  pre_[0] = (vh + vb * k / q + k * k) / a0;
  pre_[1] = 2.0 * (k * k - vh) / a0;
  pre_[2] = (vh - vb * k / q + k * k) / a0;
  pre_[3] = 2.0 * (k * k - 1.0) / a0;
  pre_[4] = (1.0 - k / q + k * k) / a0;
  // The RLB weighting: a high-pass at about 38 Hz.
  f0 = 38.13547087602444;
  q = 0.5003270373238773;
  k = std::tan(std::numbers::pi * f0 / rate);
  rlb_[0] = 2.0 * (k * k - 1.0) / (1.0 + k / q + k * k);
  rlb_[1] = (1.0 - k / q + k * k) / (1.0 + k / q + k * k);
}

void KWeightedBlocks::Add(const float* interleaved, std::size_t frames) {
  const std::size_t channels = static_cast<std::size_t>(channels_);
  const double b0 = pre_[0], b1 = pre_[1], b2 = pre_[2], a1 = pre_[3], a2 = pre_[4];
  const double c1 = rlb_[0], c2 = rlb_[1];
  while (frames > 0) {
    const std::size_t n = std::min(frames, stepFrames_ - inStep_);
    for (std::size_t c = 0; c < channels; ++c) {
      if (weights_[c] == 0) continue;
      Filter f = filters_[c];
      const float* x = interleaved + c;
      double sum = 0;
      for (std::size_t i = 0; i < n; ++i) {
        const double in = x[i * channels];
        const double y = b0 * in + b1 * f.x1 + b2 * f.x2 - a1 * f.y1 - a2 * f.y2;
        const double z = y - 2.0 * f.y1 + f.y2 - c1 * f.z1 - c2 * f.z2;
        f.x2 = f.x1;
        f.x1 = in;
        f.y2 = f.y1;
        f.y1 = y;
        f.z2 = f.z1;
        f.z1 = z;
        sum += z * z;
      }
      for (double* v : {&f.x1, &f.x2, &f.y1, &f.y2, &f.z1, &f.z2}) Flush(*v);
      filters_[c] = f;
      stepSum_ += weights_[c] * sum;
    }
    interleaved += n * channels;
    frames -= n;
    inStep_ += n;
    if (inStep_ == stepFrames_) {
      steps_.push_back(stepSum_);
      stepSum_ = 0;
      inStep_ = 0;
    }
  }
}

std::vector<double> KWeightedBlocks::Windows(std::size_t steps) const {
  std::vector<double> energies;
  if (steps_.size() < steps) return energies;
  const double frames = double(steps * stepFrames_);
  energies.reserve(steps_.size() + 1 - steps);
  for (std::size_t first = 0; first + steps <= steps_.size(); ++first) {
    double sum = 0;
    for (std::size_t j = first; j < first + steps; ++j) sum += steps_[j];
    energies.push_back(sum / frames);
  }
  return energies;
}

double KWeightedBlocks::Integrated(const std::vector<const KWeightedBlocks*>& parts) {
  std::vector<double> blocks;
  for (const KWeightedBlocks* part : parts) {
    const std::vector<double> own = part->Windows(4);
    blocks.insert(blocks.end(), own.begin(), own.end());
  }
  const double absolute = LufsToEnergy(kAbsoluteGateLufs);
  double sum = 0;
  std::size_t count = 0;
  for (double e : blocks)
    if (e >= absolute) sum += e, ++count;
  if (count == 0) return -std::numeric_limits<double>::infinity();
  const double relative = sum / double(count) * std::pow(10.0, -10.0 / 10.0);
  sum = 0;
  count = 0;
  for (double e : blocks)
    if (e >= absolute && e >= relative) sum += e, ++count;
  return count == 0 ? -std::numeric_limits<double>::infinity() : EnergyToLufs(sum / double(count));
}

double KWeightedBlocks::Range(const std::vector<const KWeightedBlocks*>& parts) {
  std::vector<double> windows;
  for (const KWeightedBlocks* part : parts) {
    const std::vector<double> own = part->Windows(30);
    windows.insert(windows.end(), own.begin(), own.end());
  }
  const double absolute = LufsToEnergy(kAbsoluteGateLufs);
  double sum = 0;
  std::size_t count = 0;
  for (double e : windows)
    if (e >= absolute) sum += e, ++count;
  if (count == 0) return 0;
  const double relative = sum / double(count) * std::pow(10.0, -20.0 / 10.0);
  std::vector<double> gated;
  for (double e : windows)
    if (e >= absolute && e >= relative) gated.push_back(e);
  if (gated.empty()) return 0;
  std::sort(gated.begin(), gated.end());
  // The percentiles as FFmpeg's filter ranks them: the k-th lowest of n, k = round(p n).
  const auto percentile = [&](double p) {
    const auto rank = static_cast<std::size_t>(std::lround(p * double(gated.size())));
    return gated[std::clamp<std::size_t>(rank, 1, gated.size()) - 1];
  };
  const double low = percentile(0.10), high = percentile(0.95);
  return EnergyToLufs(high) - EnergyToLufs(low);
}

}  // namespace snipwave::loudness
