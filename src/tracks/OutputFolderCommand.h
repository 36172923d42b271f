#pragma once

#include "state/MainState.h"

namespace snipwave {

// The output folder command ("dir"): refused while Playing or Converting.
// Shows the folder chooser with the caption "Output Directory" centred over
// the main window; a confirmed folder is shown in the folder field first
// (state.ShowOutputFolderText), then stored as [Format] "Dir". A failing
// write throws after the field has changed. Cancel changes nothing.
void ChooseOutputFolder(MainState& state);

}  // namespace snipwave
