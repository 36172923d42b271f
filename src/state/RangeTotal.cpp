#include "state/RangeTotal.h"

#include <algorithm>

#include "platform/ClockText.h"
#include "state/MainState.h"

namespace snipwave {

std::int64_t SumOfRangeSeconds(const MainState& state) {
  const int listed = state.lv ? state.lv->RowCount() : state.TrackCount;
  const int rows = std::clamp(listed, 0, kTrackTableSize);
  std::int64_t seconds = 0;  // 101 rows of int32 seconds cannot overflow 64 bits
  for (int i = 0; i < rows; ++i) seconds += state.TrackTable[static_cast<std::size_t>(i)].RangeSeconds;
  return seconds;
}

void ShowRangeTotal(MainState& state) { state.alltime.SetText(ClockTextFromSeconds(SumOfRangeSeconds(state))); }

}  // namespace snipwave
