#pragma once

#include <QString>
#include <optional>

#include "components/loudness/LoudnessMeter.h"
#include "level/RangeGain.h"

namespace snipwave {

// How far a gain carried by whole steps of the MP3 global gain (1.505 dB
// each) may lie from the one asked: the tolerance matched loudness is held to.
inline constexpr double kGainStepToleranceDb = 0.5;

// The whole global-gain steps nearest `gain` that keep the true peak under
// the ceiling, or nothing when they lie further from it than the tolerance.
std::optional<int> GlobalGainSteps(const loudness::Loudness& measured, const level::RangeGain& gain,
                                   double ceilingDbtp);

// The summary line of a gain carried by the kept frames: "<where>: its gain
// is -6.02 dB (-5.90 dB asked), -4 whole steps of the MP3 frames' global
// gain, carried by the kept frames."
QString CarriedGainNote(const QString& where, int steps, double askedDb);

// The clause saying why a gain cannot be carried: "its <what> of 2.10 dB lies
// more than 0.5 dB from whole 1.505 dB steps of the MP3 global gain".
QString UncarriedGainReason(const QString& what, double askedDb);

}  // namespace snipwave
