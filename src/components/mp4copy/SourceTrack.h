#pragma once

#include <QString>

#include <memory>

#include "Mp4Track.h"

namespace snipwave::mp4copy {

// Reads the sample table, sample description and trimming (edit list, else
// iTunSMPB) of the one AAC-LC track of the MP4 file open at `fd`. nullptr
// with `reason` set to a clause when the file's packets cannot be copied
// exactly (not AAC-LC, several audio tracks, fragments, packets of other
// than 1024 frames, an edit list of several entries or an empty edit, a
// damaged or unreadable box structure).
std::unique_ptr<Mp4Track> ReadMp4Track(int fd, QString* reason);

}  // namespace snipwave::mp4copy
