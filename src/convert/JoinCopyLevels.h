#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <stop_token>
#include <vector>

#include "convert/JobRequest.h"
#include "convert/LosslessMp3.h"
#include "level/LevelChoices.h"

namespace snipwave {

class IAudioFile2;

// The level choices of a join as a frame copy carries them: the frames under
// the joined file's fades (and edge fades) re-encoded from the faded sound,
// each range's matched gain in whole steps of its frames' global gain, the
// frames between copied. Positions are sample frames of the sources, which
// share the output's rate.
struct JoinCopyLevels {
  std::vector<std::int64_t> reencodeHead, reencodeTail;  // per row, frames from its range's start and end
  std::vector<int> gainSteps;                            // per row
  Mp3EdgeLevel edgeLevel;                                // empty when it changes nothing
  QStringList frameCopyNotes;                            // each gain carried
  QStringList levelNotes;                                // each range's measure and gain
};

// Why a frame copy cannot carry the choices whatever the sources (a clause
// for the summary), or nothing: a crossfade mixes the two ranges of each
// seam into one stretch, which copied frames cannot hold.
std::optional<QString> UncopyableLevels(const level::LevelChoices& levels, std::size_t rows);

// The plan for the rows' ranges, measured with `reader` when the ranges are
// matched (left closed). Nothing, with `reason` set (a clause for the
// summary), when the frame copy cannot carry the choices: those of
// UncopyableLevels, and a gain too far from whole global-gain steps, which
// changes every sample. Nothing and no reason when a range could not be
// measured or the join was stopped: the join decoding every sample then meets
// (and reports) the same.
std::optional<JoinCopyLevels> PlanJoinCopyLevels(const std::vector<JobRow>& rows, const level::LevelChoices& levels,
                                                 unsigned rate, int channels, IAudioFile2& reader,
                                                 const std::stop_token& stop, QString* reason);

}  // namespace snipwave
