#pragma once

#include <QString>

namespace snipwave {

// The audio file a sheet's FILE line names, looked for in `sheetFolder`: the
// name as written (relative to the sheet, or absolute), then its last path
// component beside the sheet (sheets made on another machine carry its
// folders), then a file beside the sheet whose name differs only by its
// extension (the sheet of a WAV rip next to the FLAC or MP3 made from it).
// Empty when none is found.
QString FindCueAudioFile(const QString& sheetFolder, const QString& fileName);

}  // namespace snipwave
