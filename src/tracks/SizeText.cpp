#include "SizeText.h"

#include <algorithm>
#include <cmath>

namespace snipwave {

QString MegabyteSizeText(std::int64_t bytes, const QLocale& locale) {
  const double megabytes = static_cast<double>(bytes) / 1024.0 / 1024.0;

  // Decimals kept by five significant digits: 5 minus the digits before the
  // point; two decimals at most. Values below 1 keep two decimals.
  int integerDigits = 1;
  for (double limit = 10.0; std::fabs(megabytes) >= limit && integerDigits < 30; limit *= 10.0) ++integerDigits;
  const int decimals = std::clamp(5 - integerDigits, 0, 2);

  // Round once, half away from zero, to `decimals`, then show hundredths.
  const double scale = std::pow(10.0, decimals);
  const double rounded = std::round(megabytes * scale) / scale;
  const long long hundredths = std::llround(rounded * 100.0);

  const QString integerPart = QString::number(hundredths / 100);
  const QString fraction = QString::asprintf("%02lld", std::llabs(hundredths % 100));
  return integerPart + locale.decimalPoint() + fraction + QStringLiteral("MB");
}

}  // namespace snipwave
