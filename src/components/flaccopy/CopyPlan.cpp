#include "CopyPlan.h"

#include <algorithm>

#include "FlacStream.h"

namespace snipwave::flaccopy {

std::vector<Item> PlanItems(const std::vector<CopyRange>& ranges) {
  std::vector<Item> items;
  for (std::size_t r = 0; r < ranges.size(); ++r) {
    const FlacStream& s = ranges[r].source->Stream();
    if (ranges[r].begin >= ranges[r].end) continue;
    const std::size_t first = s.FrameAt(ranges[r].begin), last = s.FrameAt(ranges[r].end - 1);
    for (std::size_t i = first; i <= last; ++i) {
      const FlacFrame& f = s.frames[i];
      Item item{r, i, std::max(ranges[r].begin, f.firstSample), std::min(ranges[r].end, f.firstSample + f.blockSize)};
      item.copy = item.from == f.firstSample && item.to == f.firstSample + f.blockSize;
      items.push_back(item);
    }
  }
  for (std::size_t i = 0; i + 1 < items.size(); ++i)
    if (items[i].copy && items[i].to - items[i].from < kMinBlockSize) items[i].copy = false;
  for (std::size_t i = 0; i < items.size();) {
    if (items[i].copy) {
      ++i;
      continue;
    }
    std::size_t j = i;
    std::int64_t run = 0;
    while (j < items.size() && !items[j].copy) run += items[j].to - items[j].from, ++j;
    while (run < kMinBlockSize && j < items.size()) {
      items[j].copy = false;
      run += items[j].to - items[j].from;
      ++j;
      while (j < items.size() && !items[j].copy) run += items[j].to - items[j].from, ++j;
    }
    i = j;
  }
  return items;
}

}  // namespace snipwave::flaccopy
