#pragma once

#include <QString>
#include <QTextStream>
#include <vector>

#include "convert/JobRequest.h"

namespace snipwave {

class IAudioFile2;

// The rows of `snipwave cut --cue SHEET` (when `cuePath` is set) or
// `--labels FILE SOURCE`: each source probed with `reader` for its length and
// rate, the sheet's times mapped to its frames. False, with the reason on
// `err`, when the file cannot be read, a source is missing or refused, a
// range lies outside its source or there are more rows than a cut takes.
// What the sheet left out (its data tracks) is said on `err`.
bool ListSheetRows(IAudioFile2& reader, const QString& cuePath, const QString& labelPath, const QString& source,
                   std::vector<JobRow>& rows, QTextStream& err);

}  // namespace snipwave
