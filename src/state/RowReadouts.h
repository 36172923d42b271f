#pragma once

namespace snipwave {

struct MainState;

// The readouts that belong to one row: "begin" and "end" show its marks,
// "time" the bar's place on its time scale. The row is the previewed one
// while Playing (the selection stays on it then), else the selected one.
// While Playing "time" is left to the player's timer. Nothing is written when
// no row is shown.
void ShowRowReadouts(MainState& state);

// Row indexes kept outside the list (LastSelectedRow, PlayingRow while
// Playing, PreciseRow) follow their tracks when rows move; the list's own
// selection is the caller's. `count` rows were inserted at `at`:
void FollowRowsInserted(MainState& state, int at, int count);
// Row `at` went (the list has already closed the gap):
void FollowRowRemoved(MainState& state, int at);
// Rows a and b exchanged places:
void FollowRowsSwapped(MainState& state, int a, int b);

}  // namespace snipwave
