#include "MulDiv.h"

#include <limits>

namespace snipwave {

std::int32_t MulDiv(std::int32_t number, std::int32_t numerator, std::int32_t denominator) {
  if (denominator == 0) return -1;
  // |int32 * int32| < 2^62, so the product always fits in 64 bits.
  const std::int64_t product = static_cast<std::int64_t>(number) * numerator;
  const bool negative = (product < 0) != (denominator < 0);
  const std::uint64_t absProduct =
      product < 0 ? static_cast<std::uint64_t>(-product) : static_cast<std::uint64_t>(product);
  const std::uint64_t absDenominator =
      denominator < 0 ? static_cast<std::uint64_t>(-static_cast<std::int64_t>(denominator))
                      : static_cast<std::uint64_t>(denominator);
  std::uint64_t quotient = absProduct / absDenominator;
  const std::uint64_t remainder = absProduct % absDenominator;
  if (remainder * 2 >= absDenominator) ++quotient;  // half away from zero
  if (negative) {
    if (quotient > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()) + 1) return -1;
    return static_cast<std::int32_t>(-static_cast<std::int64_t>(quotient));
  }
  if (quotient > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) return -1;
  return static_cast<std::int32_t>(quotient);
}

}  // namespace snipwave
