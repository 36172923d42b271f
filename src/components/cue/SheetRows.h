#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

#include "components/cue/CueSheet.h"
#include "components/cue/LabelFile.h"
#include "components/tags/TagSet.h"

namespace snipwave {

// A range read from a sheet or label file, in the file's own time unit
// (`unitsPerSecond`: 75 for a cue sheet, 1 000 000 for a label file).
struct SheetRange {
  QString path;            // the source, absolute
  std::int64_t begin = 0;  // units
  std::int64_t end = -1;   // units; -1: the source's end
  bool endAtMost = false;  // an end past the source's end is the source's end
  int unitsPerSecond = 1;
  QString title;
  TagSet tags;
  QString what;  // how messages name it ("track 3", "label 2")
};

// A range in sample frames of its source.
struct FramedRange {
  QString path;
  std::int64_t begin = 0;
  std::int64_t end = 0;
  QString title;
  TagSet tags;
  bool operator==(const FramedRange&) const = default;
};

// What a range needs to know of its source.
struct SourceFacts {
  std::int64_t length = 0;  // frames
  int sampleRate = 0;       // Hz
};

// The tracks of a sheet with their FILEs found beside it (see
// FindCueAudioFile). Throws Error naming the first FILE not found.
std::vector<SheetRange> CueSheetRanges(const std::vector<CueTrack>& tracks, const QString& sheetFolder);

// The labels as ranges of `source`.
std::vector<SheetRange> LabelRanges(const std::vector<Label>& labels, const QString& source);

// Each range in frames: its times mapped to the nearest frame of its source
// (exact for a cue sheet at rates that are multiples of 75). `probe` is asked
// once per source and may throw. Throws Error when a range begins at or past
// its source's end or ends past it (unless its end is only an upper bound).
std::vector<FramedRange> FrameRanges(const std::vector<SheetRange>& ranges,
                                     const std::function<SourceFacts(const QString& path)>& probe);

}  // namespace snipwave
