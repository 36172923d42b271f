#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

#include "components/tags/TagSet.h"

namespace snipwave {

// One row to write: frames [begin, end) of `file` (absolute path), whose
// length is `length` frames at `sampleRate` Hz.
struct SheetRow {
  QString file;
  std::int64_t begin = 0;
  std::int64_t end = 0;
  std::int64_t length = 0;
  int sampleRate = 0;
  QString title;
  TagSet tags;
};

struct WrittenCueSheet {
  QByteArray text;    // UTF-8, CR LF line ends
  QStringList notes;  // what the sheet could not hold exactly; empty: nothing
};

// A sheet of the rows: one FILE per source (in the order of its first row;
// named relative to `sheetFolder` when it lies there or below), one TRACK per
// row in order of its begin, INDEX 01 at the begin rounded to the nearest
// 1/75 s. Tags the rows share become the sheet's TITLE, PERFORMER, REM DATE
// and REM GENRE. A track runs to the next one's start, so a notes line says
// when a mark moved by the rounding and when a row's end is not the next
// row's begin (or the file's end). Throws Error when there are no rows.
WrittenCueSheet WriteCueSheet(const std::vector<SheetRow>& rows, const QString& sheetFolder);

}  // namespace snipwave
