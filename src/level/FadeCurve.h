#pragma once

#include <optional>
#include <string_view>

#include "level/LevelChoices.h"

namespace snipwave::level {

// The gain of `curve` at x in [0, 1] (clamped): 0 at x = 0 (linear,
// equal-power; -60 dB for log), 1 at x = 1.
double CurveGain(FadeCurve curve, double x);

// The gain of frame `k` (0-based) of a fade-in `length` frames long: the
// curve at k / length, so the first frame is the curve's start and the fade
// reaches full level on the frame after it. A fade-out is the mirror image:
// frame k of it counted from its end (the last frame is k = 0).
double FadeInGain(FadeCurve curve, std::int64_t k, std::int64_t length);

// The settings' and the command line's names: "linear", "equal-power", "log".
std::string_view CurveName(FadeCurve curve);
std::optional<FadeCurve> CurveFromName(std::string_view name);

}  // namespace snipwave::level
