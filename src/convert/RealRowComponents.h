#pragma once

#include "convert/JobRequest.h"

namespace snipwave {

// A fresh set of the program's own reader, writer, checker and MP3 encoder
// settings, ready for a job's worker.
RowComponents MakeRealRowComponents();

}  // namespace snipwave
