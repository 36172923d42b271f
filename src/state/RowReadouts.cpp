#include "state/RowReadouts.h"

#include "platform/ClockText.h"
#include "platform/MulDiv.h"
#include "state/MainState.h"

namespace snipwave {

namespace {
constexpr int kBarScale = 20000;  // "pb" runs 0..20000 for every file
}  // namespace

void ShowRowReadouts(MainState& state) {
  if (!state.lv) return;
  const int row = state.Playing ? state.PlayingRow : state.lv->SelectedRow();
  if (row < 0 || row >= state.lv->RowCount() || row >= kTrackTableSize) return;
  const Timerec& r = state.TrackTable[static_cast<std::size_t>(row)];
  // At most TotalMs: fits the clock's 32 bits.
  state.begin.SetText(ClockTextFromMs(static_cast<std::int32_t>(MulDiv64(r.BeginSample, r.TotalMs, r.TotalSamples))));
  state.end.SetText(ClockTextFromMs(static_cast<std::int32_t>(MulDiv64(r.EndSample, r.TotalMs, r.TotalSamples))));
  if (!state.Playing) state.time.SetText(ClockTextFromMs(MulDiv(state.pb.GetPosition(), r.TotalMs, kBarScale)));
}

void FollowRowsInserted(MainState& state, int at, int count) {
  auto follow = [&](int& index) {
    if (index >= at) index += count;
  };
  follow(state.LastSelectedRow);
  if (state.Playing) follow(state.PlayingRow);
  if (state.PreciseRow >= 0) follow(state.PreciseRow);
}

void FollowRowRemoved(MainState& state, int at) {
  if (state.LastSelectedRow > at) --state.LastSelectedRow;
  if (state.Playing && state.PlayingRow > at) --state.PlayingRow;
  // A precise position belongs to its row's file: it goes with the row.
  if (state.PreciseRow == at) state.PreciseSample = -1, state.PreciseRow = -1;
  else if (state.PreciseRow > at) --state.PreciseRow;
}

void FollowRowsSwapped(MainState& state, int a, int b) {
  auto follow = [&](int& index) {
    if (index == a) index = b;
    else if (index == b) index = a;
  };
  follow(state.LastSelectedRow);
  follow(state.PlayingRow);
  follow(state.PreciseRow);
}

}  // namespace snipwave
