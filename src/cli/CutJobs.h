#pragma once

#include <QString>
#include <optional>
#include <vector>

#include "convert/ParallelCut.h"

namespace snipwave {

// `snipwave cut --jobs N`: how many rows are cut at once.

// The option's lines in the cut's help text.
extern const char* const kJobsHelp;

// Rows cut at once when --jobs is not given: the processor cores.
int DefaultCutJobs();

// The value of --jobs: a whole number from 1 on; larger than the list can
// ever be is taken as the list's size. Nothing (with `error` set) otherwise.
std::optional<int> ParseCutJobs(const QString& value, QString& error);

// One reader, writer, checker and encoder set per row cut at once: none when
// `jobs` and `rows` allow only one row at a time (the serial cut then runs,
// with the command's own components).
std::vector<RowComponents> RowComponentsFor(int jobs, int rows);

}  // namespace snipwave
