#pragma once

#include <vector>

#include "state/MainState.h"

namespace snipwave {

// Everything the user has made of the list: each row's record (source,
// exact marks, title, tags) and texts, and the selection. Edits are told
// apart by comparing snapshots; undo, the saved list and list files restore
// from one.
struct ListSnapshot {
  std::vector<Timerec> records;
  std::vector<TrackRowTexts> rows;
  int selected = -1;      // the list's selected row, -1: none
  int lastSelected = 0;   // LastSelectedRow
  bool operator==(const ListSnapshot&) const = default;
};

ListSnapshot TakeListSnapshot(const MainState& state);

// Puts the list back as the snapshot holds it: records, rows, selection;
// the range total and the selected row's readouts follow, and the views
// hear of it through RowsChanged. At most kTrackTableSize rows are taken.
void RestoreListSnapshot(MainState& state, const ListSnapshot& snapshot);

}  // namespace snipwave
