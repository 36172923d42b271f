#include "level/RangeGain.h"

#include <cmath>

namespace snipwave::level {

RangeGain GainToTarget(const loudness::Loudness& measured, double targetLufs, double ceilingDbtp) {
  RangeGain result;
  if (!std::isfinite(measured.integratedLufs)) {
    result.silent = true;
    return result;
  }
  result.gainDb = targetLufs - measured.integratedLufs;
  if (std::isfinite(measured.truePeakDbtp) && measured.truePeakDbtp + result.gainDb > ceilingDbtp) {
    result.gainDb = ceilingDbtp - measured.truePeakDbtp;
    result.limited = true;
  }
  return result;
}

}  // namespace snipwave::level
