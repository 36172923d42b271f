#pragma once

#include <cstdint>

namespace snipwave {

// The position bar "pb" runs from 0 (start of the file) to 20000 (its end),
// whatever the file's length. A bar value p stands for
// MulDiv(p, TotalSamples, 20000) sample frames and MulDiv(p, TotalMs, 20000)
// milliseconds of the row's file.
inline constexpr std::int32_t kBarScale = 20000;

}  // namespace snipwave
