#include "ClockText.h"

namespace snipwave {

QString ClockTextFromSeconds(std::int64_t seconds) {
  const std::int64_t hours = seconds / 3600;
  const std::int64_t minutes = (seconds - 3600 * hours) / 60;
  const std::int64_t secs = seconds % 60;
  return QString::asprintf("%.2lld:%.2lld:%.2lld", static_cast<long long>(hours),
                           static_cast<long long>(minutes), static_cast<long long>(secs));
}

QString ClockTextFromMs(std::int64_t milliseconds) { return ClockTextFromSeconds(milliseconds / 1000); }

}  // namespace snipwave
