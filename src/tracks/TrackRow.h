#pragma once

#include <QString>

#include "state/Timerec.h"
#include "state/TrackListView.h"

namespace snipwave {

// The texts of a freshly added row: caption = the file name without its
// folder, range "  00:00:00 - <length>", length "  <length>", size
// "  <sizeText>", status "unconverted". Lengths are clock texts of totalMs.
TrackRowTexts NewTrackRowTexts(const QString& fileName, std::int32_t totalMs, const QString& sizeText);

// The record of a freshly added file: the whole file marked.
Timerec NewTrackRecord(const QString& filePath, std::int32_t totalMs, std::int64_t lengthSamples);

}  // namespace snipwave
