#pragma once

#include <QString>

#include "components/tags/TagSet.h"
#include "convert/JobSupport.h"

namespace snipwave {

struct MainState;

namespace detail {

// Whether the job's outputs get tags: the option when given, else [Format]
// "KeepTags" of the settings file (default on).
bool KeepTags(const MainState& state, const JobOptions& options);

// The tags of a source; a source whose tags cannot be read has none (its
// audio was read, so the job goes on).
TagSet SourceTags(const QString& path);

// Tags the finished output at `temporaryPath` before it gets its final name.
// A failure keeps the output untagged and adds a message naming `finalPath`
// to the report's tag failures.
void TagOutput(const JobOptions& options, const QString& temporaryPath, const QString& finalPath, const TagSet& tags,
               JobReport& report);

}  // namespace detail

}  // namespace snipwave
