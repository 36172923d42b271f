#pragma once

#include <QString>
#include <cstdint>

namespace snipwave {

// Every time shown in the window: hours, minutes and seconds, each at least two
// digits ("%.2d"), joined by ':'. Hours grow to three digits from 100 h on.
QString ClockTextFromSeconds(std::int64_t seconds);

// Milliseconds are truncated to whole seconds first, never rounded.
QString ClockTextFromMs(std::int64_t milliseconds);

}  // namespace snipwave
