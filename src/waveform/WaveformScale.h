#pragma once

#include <algorithm>
#include <cmath>

namespace snipwave {

// How a sample value (full scale ±1) becomes a height in the wave, as a
// share of the half height (−1 bottom edge, +1 top edge). The vertical zoom
// is a gain in steps of kStepDb, from 0 dB up to kMaxSteps steps; values it
// lifts past full scale stand at the edge. On the dB scale the height is
// the level in dBFS after the gain, kFloorDb at the middle line and 0 dBFS
// at the edge, so a quiet passage stays visible beside a loud one.
class WaveformScale {
 public:
  static constexpr int kStepDb = 3;
  static constexpr int kMaxSteps = 16;  // +48 dB
  static constexpr double kFloorDb = -60.0;

  int Steps() const { return steps_; }
  int GainDb() const { return steps_ * kStepDb; }
  bool Db() const { return db_; }
  void SetDb(bool db) { db_ = db; }
  // Changes the gain by `steps` (either way), inside 0..kMaxSteps; true when it changed.
  bool Zoom(int steps) {
    const int before = steps_;
    steps_ = std::clamp(steps_ + steps, 0, kMaxSteps);
    return steps_ != before;
  }

  double Height(float value) const {
    const double v = static_cast<double>(value) * Gain();
    if (!db_) return std::clamp(v, -1.0, 1.0);
    const double magnitude = std::abs(v);
    if (magnitude <= 0) return 0;
    const double share = std::clamp((20 * std::log10(magnitude) - kFloorDb) / -kFloorDb, 0.0, 1.0);
    return v < 0 ? -share : share;
  }

 private:
  double Gain() const { return std::pow(10.0, GainDb() / 20.0); }

  int steps_ = 0;
  bool db_ = false;
};

}  // namespace snipwave
