#pragma once

#include <cstdint>

namespace snipwave::level {

// The shape of a fade from silence (x = 0) to full level (x = 1).
enum class FadeCurve {
  Linear,      // gain = x
  EqualPower,  // gain = sin(x * pi / 2): a crossfade of two such keeps the power
  Log,         // a straight ramp in dB, from -60 dB at x = 0 to 0 dB at x = 1
};

// How the ranges of a join are levelled against each other.
enum class MatchLoudness {
  Off,     // as they are
  Target,  // each range gained to `targetLufs`
  First,   // each range gained to the first range's loudness
};

// What a job does to the level of its audio. The defaults change nothing:
// outputs stay sample for sample (and byte for byte) what they were without.
struct LevelChoices {
  int fadeInMs = 0;   // the first ms of each cut output, or of the joined file
  int fadeOutMs = 0;  // the last ms of each cut output, or of the joined file
  FadeCurve fadeCurve = FadeCurve::Linear;
  int crossfadeMs = 0;  // join: the two ranges of each seam overlap by this much
  FadeCurve crossfadeCurve = FadeCurve::EqualPower;
  int edgeFadeMs = 0;  // a short linear fade at both ends of every output, against clicks
  MatchLoudness match = MatchLoudness::Off;  // join
  bool normalise = false;                    // cut: each output gained to `targetLufs`
  double targetLufs = -16.0;
  double truePeakDbtp = -1.0;  // a gain never takes the true peak above this

  // True when a cut with these choices writes samples other than the source's.
  bool ChangesCut() const { return fadeInMs > 0 || fadeOutMs > 0 || edgeFadeMs > 0 || normalise; }
  // True when a join with these choices writes samples other than the sources'.
  bool ChangesJoin() const {
    return fadeInMs > 0 || fadeOutMs > 0 || edgeFadeMs > 0 || crossfadeMs > 0 || match != MatchLoudness::Off;
  }
};

// Longest fade or crossfade the settings and the command line take, in ms.
inline constexpr int kLongestFadeMs = 600000;
// The loudness target and the true-peak ceiling the settings take.
inline constexpr double kLowestTargetLufs = -70.0;
inline constexpr double kHighestTargetLufs = 0.0;
inline constexpr double kLowestCeilingDbtp = -30.0;
inline constexpr double kHighestCeilingDbtp = 0.0;

// Milliseconds at `rate` in frames, rounded to the nearest frame.
std::int64_t MsToFrames(int ms, unsigned rate);

}  // namespace snipwave::level
