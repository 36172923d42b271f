#pragma once

#include "components/loudness/LoudnessMeter.h"

namespace snipwave::level {

// The gain a range gets to reach a loudness.
struct RangeGain {
  double gainDb = 0;
  bool silent = false;   // nothing above the gate: no loudness, no gain
  bool limited = false;  // less than asked, so that the true peak stays at the ceiling
};

// The gain that takes `measured` to `targetLufs`, reduced where it would
// take its true peak above `ceilingDbtp` (a gain that lowers the level is
// never raised by the ceiling's rule; a true peak already above it is
// brought down to it).
RangeGain GainToTarget(const loudness::Loudness& measured, double targetLufs, double ceilingDbtp);

}  // namespace snipwave::level
