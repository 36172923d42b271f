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

std::int64_t MulDiv64(std::int64_t number, std::int64_t numerator, std::int64_t denominator) {
  if (denominator == 0) return -1;
  const __int128 product = static_cast<__int128>(number) * numerator;
  const bool negative = (product < 0) != (denominator < 0);
  const unsigned __int128 absProduct =
      product < 0 ? static_cast<unsigned __int128>(-product) : static_cast<unsigned __int128>(product);
  const unsigned __int128 absDenominator =
      denominator < 0 ? static_cast<unsigned __int128>(-static_cast<__int128>(denominator))
                      : static_cast<unsigned __int128>(denominator);
  unsigned __int128 quotient = absProduct / absDenominator;
  if ((absProduct % absDenominator) * 2 >= absDenominator) ++quotient;  // half away from zero
  constexpr auto kMax = static_cast<unsigned __int128>(std::numeric_limits<std::int64_t>::max());
  if (negative) {
    if (quotient > kMax + 1) return -1;
    return static_cast<std::int64_t>(-static_cast<__int128>(quotient));
  }
  if (quotient > kMax) return -1;
  return static_cast<std::int64_t>(quotient);
}

}  // namespace snipwave
