#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "components/loudness/LoudnessMeter.h"

namespace snipwave {
class IAudioFile2;
}

namespace snipwave::loudness {

// Measures frames [begin, end) of the file open in `reader` (end < 0: to the
// file's end), decoding from `begin` with an exact seek. Throws the reader's
// error.
Loudness MeasureOpenReader(IAudioFile2& reader, std::int64_t begin, std::int64_t end, const std::string& what);

// The same, into a meter of the reader's rate and channels that the caller
// keeps (for an album measure). `keepGoing` (may be empty) is told the frames
// measured after each block; false stops there.
void FeedOpenReader(IAudioFile2& reader, LoudnessMeter& meter, std::int64_t begin, std::int64_t end,
                    const std::function<bool(std::int64_t done)>& keepGoing = {});

// A value of a measure as it is shown: nothing where the audio was silent
// (the meter gives -infinity: no block above the absolute gate, or no
// sample above zero), else the value.
std::optional<double> Shown(double value);

// "-14.2 LUFS, range 5.1 LU, true peak -0.3 dBTP", or "silent" when the
// integrated loudness is -infinity.
std::string Describe(const Loudness& loudness);

}  // namespace snipwave::loudness
