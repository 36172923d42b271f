#pragma once

#include <QString>
#include <optional>
#include <vector>


namespace snipwave {

// `snipwave cut --jobs N`: how many rows are cut at once.

// Most sources (and parts of a split) one command takes: as many rows as
// the window's list holds.
inline constexpr int kMaxSources = 101;

// The option's lines in the cut's help text.
extern const char* const kJobsHelp;

// Rows cut at once when --jobs is not given: the processor cores.
int DefaultCutJobs();

// The value of --jobs: a whole number from 1 on; larger than the list can
// ever be is taken as the list's size. Nothing (with `error` set) otherwise.
std::optional<int> ParseCutJobs(const QString& value, QString& error);

}  // namespace snipwave
