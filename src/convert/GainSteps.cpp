#include "convert/GainSteps.h"

#include <cmath>

#include "components/mp3copy/GlobalGain.h"

namespace snipwave {

std::optional<int> GlobalGainSteps(const loudness::Loudness& measured, const level::RangeGain& gain,
                                   double ceilingDbtp) {
  const double step = mp3copy::kGlobalGainStepDb;
  int steps = static_cast<int>(std::lround(gain.gainDb / step));
  if (steps * step > gain.gainDb && measured.truePeakDbtp + steps * step > ceilingDbtp) --steps;
  if (std::abs(steps * step - gain.gainDb) > kGainStepToleranceDb) return std::nullopt;
  return steps;
}

QString CarriedGainNote(const QString& where, int steps, double askedDb) {
  const double carried = steps * mp3copy::kGlobalGainStepDb;
  return QString("%1: its gain is %2%3 dB (%4 dB asked), %5 whole steps of the MP3 frames' global gain, carried by "
                 "the kept frames.")
      .arg(where)
      .arg(carried >= 0 ? "+" : "")
      .arg(carried, 0, 'f', 2)
      .arg(askedDb, 0, 'f', 2)
      .arg(steps);
}

QString UncarriedGainReason(const QString& what, double askedDb) {
  return QString("its %1 of %2 dB lies more than %3 dB from whole 1.505 dB steps of the MP3 global gain")
      .arg(what)
      .arg(askedDb, 0, 'f', 2)
      .arg(kGainStepToleranceDb);
}

}  // namespace snipwave
