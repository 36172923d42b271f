#include "TrackListCommands.h"

#include <utility>

#include "platform/ClockText.h"
#include "platform/MulDiv.h"
#include "state/RangeTotal.h"

namespace snipwave {

namespace {
const QString kZeroClock = QStringLiteral("00:00:00");
constexpr int kPositionScale = 20000;  // the bar "pb" runs 0..20000 for every file
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
  const Timerec& r = state_.TrackTable[static_cast<std::size_t>(state_.LastSelectedRow)];
  // At most TotalMs: fits the clock's 32 bits.
  state_.begin.SetText(ClockTextFromMs(static_cast<std::int32_t>(MulDiv64(r.BeginSample, r.TotalMs, r.TotalSamples))));
  state_.end.SetText(ClockTextFromMs(static_cast<std::int32_t>(MulDiv64(r.EndSample, r.TotalMs, r.TotalSamples))));
  const int position = state_.pb.GetPosition();
  state_.time.SetText(ClockTextFromMs(MulDiv(position, r.TotalMs, kPositionScale)));
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
  const int i = lv.SelectedRow();
  if (i >= 0) {
    lv.DeleteRow(i);
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
}

void TrackListCommands::Clear() {
  if (ListBusy() || state_.Playing || state_.Paused) return;
  state_.lv->DeleteAllRows();
  state_.TrackCount = 0;
  ShowEmptyListTexts();
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
  // two rows it is on.
  if (state_.PlayingRow == i) state_.PlayingRow = other;
  else if (state_.PlayingRow == other) state_.PlayingRow = i;

  const TrackRowTexts moving = lv.RowTexts(i);
  lv.SetRowTexts(i, lv.RowTexts(other));
  lv.SetRowTexts(other, moving);
  lv.DeselectRow(i);
  lv.SelectRow(other);
  std::swap(state_.TrackTable[static_cast<std::size_t>(i)], state_.TrackTable[static_cast<std::size_t>(other)]);
}

void TrackListCommands::PumpMessages() {
  if (state_.MessagePump) state_.MessagePump->ProcessPendingMessages();
}

}  // namespace snipwave
