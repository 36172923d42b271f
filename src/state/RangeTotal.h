#pragma once

#include <cstdint>

namespace snipwave {

struct MainState;

// Sum of RangeSeconds over the listed rows, in whole seconds.
std::int64_t SumOfRangeSeconds(const MainState& state);

// Refreshes the total: "alltime" := the clock text of SumOfRangeSeconds.
void ShowRangeTotal(MainState& state);

}  // namespace snipwave
