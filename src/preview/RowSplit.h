#pragma once

#include <cstdint>
#include <vector>

namespace snipwave {

struct MainState;

inline constexpr const char* kSplitOutsideRange =
    "The position must lie inside the row's range to split it there.";

// "Split at position": the row that marks would go to (the playing row during
// a preview, else the selected one) becomes two rows of the same file, the
// first ending and the second beginning exactly at the position: the precise
// frame a sample-exact road left there, else the bar's share of the file. The
// new row follows the old one, "unconverted", and behaves as any row.
// Refused silently while converting or adding or with no row selected; a
// position not strictly inside the range, or a full list, is said and
// changes nothing. True when the row was split.
bool SplitRowAtPosition(MainState& state);

// The same at a given frame of the row's file (the core of the above).
bool SplitRowAt(MainState& state, int row, std::int64_t sample);

// Replaces the row by the parts its range falls into at `points` (frames of
// its file, ascending, each strictly inside the range): the first part keeps
// the row's begin, the last its end, and each part ends exactly where the
// next begins. When the parts do not all fit the list, says so and changes
// nothing. True when the row was split.
bool SplitRowAtPoints(MainState& state, int row, const std::vector<std::int64_t>& points);

}  // namespace snipwave
