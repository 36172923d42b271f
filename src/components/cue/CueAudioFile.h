#pragma once

#include <QString>

namespace snipwave {

// The audio file a sheet's FILE line names, looked for in `sheetFolder`: the
// name as written (relative to the sheet, or absolute; '\' taken as '/'),
// then with its leading folders dropped one by one down to the bare name
// beside the sheet (sheets made on another machine carry its folders); then
// the same places for a file whose name differs only by its extension (the
// sheet of a WAV rip next to the FLAC or MP3 made from it).
// Empty when none is found.
QString FindCueAudioFile(const QString& sheetFolder, const QString& fileName);

}  // namespace snipwave
