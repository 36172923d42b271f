#include "components/tags/TagSet.h"

namespace snipwave {

bool TagSet::Empty() const {
  for (const QString& value : values)
    if (!value.isEmpty()) return false;
  return cover.data.isEmpty() && replayGain.Empty();
}

TagSet SharedTags(const std::vector<TagSet>& sets) {
  if (sets.empty()) return {};
  TagSet shared = sets.front();
  shared.replayGain = {};
  for (const TagSet& set : sets) {
    for (std::size_t i = 0; i < shared.values.size(); ++i)
      if (shared.values[i] != set.values[i]) shared.values[i].clear();
    if (!(shared.cover == set.cover)) shared.cover = {};
  }
  return shared;
}

}  // namespace snipwave
