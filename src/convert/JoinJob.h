#pragma once

#include "convert/JobSupport.h"

namespace snipwave {

struct MainState;

// The join job ("combine" in the skin, `Join1` in the file menu, `snipwave
// join`): the ranges of all rows, in list order, one after the other into one
// file chosen in the save dialog (its extension replaced by the output type's).
// Every source is converted to the sample rate and channel count of the first
// row's file; each row contributes exactly its range [BeginSample, EndSample).
//
// Refusals as for the cut. An existing output file is replaced only after
// "File has existed. Overwrite?" (No the default button) is answered Yes; a file that is one of the
// sources is never replaced. Reads Channels x SampleRate output frames per
// chunk and lets messages through once per row and once per chunk; clearing
// `Converting` (stop) ends the job at the next chunk boundary with the output
// closed and valid. Progress counts the whole job. The folder of the chosen
// name is opened at the end.
//
// Component failures throw snipwave::Error and leave the job at once; the
// caller then runs AbortJobAfterError(state).
void Join(MainState& state, const JobOptions& options = {});

// The question asked before an existing output file is replaced.
inline constexpr const char* kOverwriteQuestion = "File has existed. Overwrite?";

}  // namespace snipwave
