#include "level/FadeCurve.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace snipwave::level {

// The floor of the logarithmic curve, in dB: the level it starts from.
constexpr double kLogFloorDb = -60.0;

double CurveGain(FadeCurve curve, double x) {
  x = std::clamp(x, 0.0, 1.0);
  switch (curve) {
    case FadeCurve::Linear:
      return x;
    case FadeCurve::EqualPower:
      return std::sin(x * std::numbers::pi / 2.0);
    case FadeCurve::Log:
      return std::pow(10.0, kLogFloorDb * (1.0 - x) / 20.0);
  }
  return 1.0;
}

double FadeInGain(FadeCurve curve, std::int64_t k, std::int64_t length) {
  if (length <= 0 || k >= length) return 1.0;
  return CurveGain(curve, double(std::max<std::int64_t>(k, 0)) / double(length));
}

std::string_view CurveName(FadeCurve curve) {
  switch (curve) {
    case FadeCurve::Linear:
      return "linear";
    case FadeCurve::EqualPower:
      return "equal-power";
    case FadeCurve::Log:
      return "log";
  }
  return "linear";
}

std::optional<FadeCurve> CurveFromName(std::string_view name) {
  for (FadeCurve c : {FadeCurve::Linear, FadeCurve::EqualPower, FadeCurve::Log})
    if (CurveName(c) == name) return c;
  return std::nullopt;
}

std::int64_t MsToFrames(int ms, unsigned rate) {
  if (ms <= 0 || rate == 0) return 0;
  return (std::int64_t(ms) * rate + 500) / 1000;
}

}  // namespace snipwave::level
