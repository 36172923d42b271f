#pragma once

#include <QString>

#include "convert/JobSupport.h"

namespace snipwave {

// The box shown in the window when a job ends, only when something went wrong
// that the rows' status texts cannot say: damaged source frames written as
// silence, ranges re-encoded although their frames were to be kept, outputs
// that failed their check or lost their tags. Empty otherwise: a job that
// wrote what it was asked ends by opening the output folder, as a stop does.
QString JobEndMessage(const JobReport& report);

}  // namespace snipwave
