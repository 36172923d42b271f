#pragma once

#include <QStringList>
#include <QTextStream>

namespace snipwave {

// `snipwave cue --out SHEET.cue PATH[@BEGIN:END]...` and
// `snipwave labels --out LABELS.txt PATH[@BEGIN:END]...`: the ranges written
// as a cue sheet (one FILE per source, starts rounded to 1/75 s; stderr says
// what moved) or as a label file of one source. The written path goes to
// stdout. Exit status: 0 written, 1 a source or the file failed, 2 wrong arguments.
int RunCueCommand(const QStringList& arguments, QTextStream& out, QTextStream& err);
int RunLabelsCommand(const QStringList& arguments, QTextStream& out, QTextStream& err);

extern const char* const kSheetExportUsage;

}  // namespace snipwave
