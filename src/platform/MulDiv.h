#pragma once

#include <cstdint>

namespace snipwave {

// (number * numerator) / denominator with a 64-bit intermediate product,
// rounded to the nearest integer, halves away from zero (also for negative
// results). Returns -1 when the denominator is 0 or the result does not fit
// in a signed 32-bit integer. These are the semantics every scaling of the
// program relies on: position bar <-> samples <-> milliseconds, progress.
std::int32_t MulDiv(std::int32_t number, std::int32_t numerator, std::int32_t denominator);

// The same rounding for 64-bit frame counts (a 128-bit intermediate product):
// -1 when the denominator is 0 or the result does not fit in 64 bits.
std::int64_t MulDiv64(std::int64_t number, std::int64_t numerator, std::int64_t denominator);

}  // namespace snipwave
