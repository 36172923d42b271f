#include "convert/OutputTags.h"

#include "components/tags/TagReader.h"
#include "components/tags/TagWriter.h"
#include "platform/Error.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "state/MainState.h"

namespace snipwave::detail {

bool KeepTags(const MainState& state, const JobOptions& options) {
  if (options.keepTags) return *options.keepTags;
  if (!state.SettingsFile) return true;
  return state.SettingsFile->ReadBool(settings::section::kFormat, settings::key::kKeepTags, true);
}

TagSet SourceTags(const QString& path) {
  try {
    return ReadTags(path);
  } catch (const Error&) {
    return {};
  }
}

void TagOutput(const JobOptions& options, const QString& temporaryPath, const QString& finalPath, const TagSet& tags,
               JobReport& report) {
  if (tags.Empty()) return;
  TagLibWriter defaultWriter;
  ITagWriter& writer = options.tagWriter ? *options.tagWriter : defaultWriter;
  try {
    writer.WriteTags(temporaryPath, tags);
  } catch (const std::exception& e) {
    QString reason = QString::fromUtf8(e.what());
    reason.replace(temporaryPath, finalPath);
    report.tagFailures << "The tags of " + finalPath + " could not be written (" + reason + ").";
  }
}

}  // namespace snipwave::detail
