#pragma once

#include <QString>

#include "components/tags/TagSet.h"
#include "convert/JobSupport.h"

namespace snipwave {

class ITagWriter;

namespace detail {

// The tags of a source; a source whose tags cannot be read has none (its
// audio was read, so the job goes on).
TagSet SourceTags(const QString& path);

// Tags the finished output at `temporaryPath` before it gets its final name.
// A failure keeps the output untagged and adds a message naming `finalPath`
// to the report's tag failures. `writer` none: the TagLib writer.
void TagOutput(ITagWriter* writer, const QString& temporaryPath, const QString& finalPath, const TagSet& tags,
               JobReport& report);

}  // namespace detail

}  // namespace snipwave
