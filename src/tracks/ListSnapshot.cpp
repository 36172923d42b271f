#include "tracks/ListSnapshot.h"

#include <algorithm>

#include "platform/ClockText.h"
#include "state/RangeTotal.h"
#include "state/RowReadouts.h"

namespace snipwave {

ListSnapshot TakeListSnapshot(const MainState& state) {
  ListSnapshot snapshot;
  const int rows = state.lv ? state.lv->RowCount() : 0;
  for (int row = 0; row < std::min(rows, state.TrackCount); ++row) {
    snapshot.records.push_back(state.TrackTable[static_cast<std::size_t>(row)]);
    snapshot.rows.push_back(state.lv->RowTexts(row));
  }
  snapshot.selected = state.lv ? state.lv->SelectedRow() : -1;
  snapshot.lastSelected = state.LastSelectedRow;
  return snapshot;
}

void RestoreListSnapshot(MainState& state, const ListSnapshot& snapshot) {
  const int rows = std::min<int>({static_cast<int>(snapshot.records.size()), static_cast<int>(snapshot.rows.size()),
                                  kTrackTableSize});
  state.lv->DeleteAllRows();
  for (int row = 0; row < kTrackTableSize; ++row)
    state.TrackTable[static_cast<std::size_t>(row)] = row < rows ? snapshot.records[static_cast<std::size_t>(row)] : Timerec{};
  for (int row = 0; row < rows; ++row) state.lv->AppendRow(snapshot.rows[static_cast<std::size_t>(row)]);
  state.TrackCount = rows;
  state.LastSelectedRow = std::clamp(snapshot.lastSelected, 0, std::max(rows - 1, 0));
  if (snapshot.selected >= 0 && snapshot.selected < rows) state.lv->SelectRow(snapshot.selected);
  ShowRangeTotal(state);
  if (rows > 0) {
    ShowRowReadouts(state);
  } else {
    // An empty list shows what clearing it shows.
    state.pb.SetPosition(0);
    for (const SkinBinding* text : {&state.time, &state.begin, &state.end}) text->SetText(ClockTextFromMs(0));
  }
  if (state.RowsChanged) state.RowsChanged();
}

}  // namespace snipwave
