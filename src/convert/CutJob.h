#pragma once

#include "convert/JobSupport.h"

namespace snipwave {

struct MainState;

// The cut job ("cut" in the skin, `Cut2` in the file menu, `snipwave cut`):
// every row's range [BeginSample, EndSample) of its source, in list order, into
// a file of its own, "Cut_<name>" (or "Cut(k)_<name>") in the output folder.
//
// Refused with "Please add file!" (empty list) or "Please stop playing first."
// (preview), silently while a job or an add runs. Copies in chunks of
// SampleRate x Channels source frames and lets messages through once per row
// and twice per chunk; clearing `Converting` (stop) ends the current row at
// the next chunk boundary (its file is closed and valid) and starts no other.
// Progress is per file. The output folder is opened at the end.
//
// Component failures throw snipwave::Error and leave the job at once; the
// caller then runs AbortJobAfterError(state).
void Cut(MainState& state, const JobOptions& options = {});

}  // namespace snipwave
