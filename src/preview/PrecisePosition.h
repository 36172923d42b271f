#pragma once

#include <algorithm>
#include <cstdint>

#include "platform/MulDiv.h"
#include "preview/PositionScale.h"
#include "state/MainState.h"

namespace snipwave {

// The frame of row `row` (record r) that the bar value p stands for: the exact
// frame a sample-precise road left there while the bar still shows it, else
// p's share of the file.
inline std::int64_t PositionSample(const MainState& state, int row, int p, const Timerec& r) {
  if (state.PreciseSample >= 0 && state.PreciseRow == row && state.PreciseBar == p &&
      state.PreciseSample <= r.TotalSamples)
    return state.PreciseSample;
  return MulDiv64(p, r.TotalSamples, kBarScale);
}

// The bar value that shows frame `sample` of record r (rounded to the nearest unit).
inline int BarOf(std::int64_t sample, const Timerec& r) {
  if (r.TotalSamples <= 0) return 0;
  return static_cast<int>(std::clamp<std::int64_t>(MulDiv64(sample, kBarScale, r.TotalSamples), 0, kBarScale));
}

}  // namespace snipwave
