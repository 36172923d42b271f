#pragma once

#include <QString>
#include <memory>

#include "components/loudness/LoudnessMeter.h"
#include "components/tags/TagSet.h"

namespace snipwave {

class IAudioFile2;

namespace detail {

// ReplayGain 2.0's reference: a gain brings the output to -18 LUFS.
inline constexpr double kReplayGainReferenceLufs = -18.0;

// Decodes the finished output at `temporaryPath` with `reader` (closed again
// afterwards) into a meter the caller keeps for the album measure; nullptr
// for an output without samples (nothing to measure, as for an empty range).
// Throws the reader's error with `finalPath` in place of the temporary name.
std::shared_ptr<loudness::LoudnessMeter> MeasureOutput(IAudioFile2& reader, const QString& temporaryPath,
                                                       const QString& finalPath);

// Track gain (-18 LUFS minus the integrated loudness) and track peak (the
// true peak, linear); nothing for silence, which no gain can bring to a level.
void SetTrackGain(ReplayGainTags& tags, const loudness::Loudness& track);
// The same values as album gain and peak (of all outputs measured together).
void SetAlbumGain(ReplayGainTags& tags, const loudness::Loudness& album);

}  // namespace detail

}  // namespace snipwave
