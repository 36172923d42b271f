#pragma once

#include <QString>

#include "convert/JobSupport.h"

namespace snipwave {

// The box shown in the window when a job ends: the files it wrote ("Written:"
// or, after a stop, "Written before the stop:", then one path a line), the
// summary lines of the report (damaged frames), and why the output folder
// could not be opened. Empty when the job wrote nothing and has nothing to
// tell (refused, cancelled, or a second job refused while one ran).
QString JobEndMessage(const JobReport& report);

}  // namespace snipwave
