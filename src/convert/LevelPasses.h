#pragma once

#include <QString>
#include <cstdint>

#include "components/loudness/LoudnessMeter.h"
#include "level/RangeGain.h"

namespace snipwave {

class IAudioFile2;

// The loudness of frames [begin, end) of `source` as `reader` decodes them,
// converted to `rate` and `channels` when they are not 0 (as a join reads
// them). The reader is left closed. Throws what the reader or the meter throws.
loudness::Loudness MeasureRange(IAudioFile2& reader, const QString& source, std::int64_t begin, std::int64_t end,
                                unsigned rate = 0, int channels = 0);

// The summary line of a range's gain: "<file> (range 2): -23.4 LUFS, gain +7.4 dB
// (held to the true-peak ceiling of -1.0 dBTP)", "<file>: silent, no gain."; no
// range number when `row` < 0.
QString GainNote(const QString& source, int row, const loudness::Loudness& measured, const level::RangeGain& gain,
                 double ceilingDbtp);

}  // namespace snipwave
