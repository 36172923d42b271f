#include "convert/OutputTags.h"

#include "components/tags/TagReader.h"
#include "components/tags/TagWriter.h"
#include "platform/Error.h"

namespace snipwave::detail {

TagSet SourceTags(const QString& path) {
  try {
    return ReadTags(path);
  } catch (const Error&) {
    return {};
  }
}

void TagOutput(ITagWriter* tagWriter, const QString& temporaryPath, const QString& finalPath, const TagSet& tags,
               JobReport& report) {
  if (tags.Empty()) return;
  TagLibWriter defaultWriter;
  ITagWriter& writer = tagWriter ? *tagWriter : defaultWriter;
  try {
    writer.WriteTags(temporaryPath, tags);
  } catch (const std::exception& e) {
    QString reason = QString::fromUtf8(e.what());
    reason.replace(temporaryPath, finalPath);
    report.tagFailures << "The tags of " + finalPath + " could not be written (" + reason + ").";
  }
}

}  // namespace snipwave::detail
