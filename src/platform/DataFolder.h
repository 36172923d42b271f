#pragma once

#include <QString>

namespace snipwave {

// The folder that holds the program's data (the skin file and help/), with a
// trailing "/": the executable's own folder when `marker` (a file name
// relative to the data folder) lies beside it, as in the build tree;
// otherwise <executable folder>/../share/snipwave/, the installed layout.
// When neither holds the marker, the executable's folder (so a message about
// the missing file names the place a user would look first).
QString DataFolder(const QString& executableFolder, const QString& marker);

// DataFolder() for the running program.
QString ProgramDataFolder(const QString& marker);

}  // namespace snipwave
