#include "TrackListCommands.h"

#include <algorithm>
#include <utility>

#include "platform/ClockText.h"
#include "state/RangeTotal.h"
#include "state/RowReadouts.h"

namespace snipwave {

namespace {
const QString kZeroClock = QStringLiteral("00:00:00");
}  // namespace

void TrackListCommands::RefreshTotal() { ShowRangeTotal(state_); }

void TrackListCommands::SelectRow() {
  ITrackListView& lv = *state_.lv;
  const int rows = lv.RowCount();
  if (rows == 0) return;
  if (state_.Playing) {
    lv.SelectRow(state_.PlayingRow);
    return;
  }
  const int selected = lv.SelectedRow();
  if (selected >= 0) {
    state_.LastSelectedRow = selected;
  } else {
    if (state_.LastSelectedRow > rows - 1) state_.LastSelectedRow = rows - 1;
    lv.SelectRow(state_.LastSelectedRow);
  }
  ShowRowReadouts(state_);
}

void TrackListCommands::RowsChanged() {
  if (state_.RowsChanged) state_.RowsChanged();
}

void TrackListCommands::ShowEmptyListTexts() {
  state_.alltime.SetText(kZeroClock);
  state_.pb.SetPosition(0);
  state_.time.SetText(kZeroClock);
  state_.begin.SetText(kZeroClock);
  state_.end.SetText(kZeroClock);
}

void TrackListCommands::RemoveSelected() {
  if (ListBusy() || state_.Playing) return;
  ITrackListView& lv = *state_.lv;
  const std::vector<int> chosen = lv.SelectedRows();
  if (chosen.size() > 1) return RemoveRows(chosen);
  const int i = lv.SelectedRow();
  if (i >= 0) {
    lv.DeleteRow(i);
    FollowRowRemoved(state_, i);
    const int rows = lv.RowCount();
    if (rows > 0) {
      if (i == rows) {
        lv.SelectRow(i - 1);  // the last row went; its record needs no move
      } else {
        lv.SelectRow(i);
        for (int j = i; j < rows; ++j)
          state_.TrackTable[static_cast<std::size_t>(j)] = state_.TrackTable[static_cast<std::size_t>(j + 1)];
      }
    }
  }
  state_.TrackCount = lv.RowCount();
  if (state_.TrackCount == 0) {
    ShowEmptyListTexts();
  } else {
    RefreshTotal();
    SelectRow();
  }
  RowsChanged();
}

void TrackListCommands::RemoveRows(const std::vector<int>& chosen) {
  ITrackListView& lv = *state_.lv;
  // From the last up, so the rows still to go keep their numbers.
  for (auto it = chosen.rbegin(); it != chosen.rend(); ++it) {
    const int i = *it;
    if (i < 0 || i >= lv.RowCount()) continue;
    lv.DeleteRow(i);
    FollowRowRemoved(state_, i);
    for (int j = i; j < lv.RowCount(); ++j)
      state_.TrackTable[static_cast<std::size_t>(j)] = state_.TrackTable[static_cast<std::size_t>(j + 1)];
  }
  state_.TrackCount = lv.RowCount();
  if (state_.TrackCount == 0) {
    ShowEmptyListTexts();
  } else {
    // The row that took the first removed row's place, or the new last one.
    lv.SelectRow(std::min(chosen.front(), state_.TrackCount - 1));
    RefreshTotal();
    SelectRow();
  }
  RowsChanged();
}

void TrackListCommands::Clear() {
  if (ListBusy() || state_.Playing || state_.Paused) return;
  state_.lv->DeleteAllRows();
  state_.TrackCount = 0;
  // A precise position belonged to a file that is no longer listed.
  state_.PreciseSample = -1;
  state_.PreciseRow = -1;
  ShowEmptyListTexts();
  RowsChanged();
}

void TrackListCommands::MoveUp() { MoveSelected(-1); }
void TrackListCommands::MoveDown() { MoveSelected(+1); }

void TrackListCommands::MoveSelected(int step) {
  if (ListBusy()) return;
  ITrackListView& lv = *state_.lv;
  const int i = lv.SelectedRow();
  if (i < 0) return;
  const int other = i + step;
  if (other < 0 || other >= lv.RowCount()) return;

  // The previewed track keeps its row index in PlayingRow, whichever of the
  // two rows it is on; the last selection and a precise position stay on
  // their tracks too.
  FollowRowsSwapped(state_, i, other);

  const TrackRowTexts moving = lv.RowTexts(i);
  lv.SetRowTexts(i, lv.RowTexts(other));
  lv.SetRowTexts(other, moving);
  lv.DeselectRow(i);
  lv.SelectRow(other);
  std::swap(state_.TrackTable[static_cast<std::size_t>(i)], state_.TrackTable[static_cast<std::size_t>(other)]);
  RowsChanged();
}

void TrackListCommands::PumpMessages() {
  if (state_.MessagePump) state_.MessagePump->ProcessPendingMessages();
}

}  // namespace snipwave
