#pragma once

#include <QLocale>
#include <QString>
#include <cstdint>

namespace snipwave {

// The size column's number: bytes / 1024 / 1024 as megabytes, rounded once to
// five significant digits or to two decimals, whichever keeps fewer digits,
// then written with exactly two decimals and the locale's decimal separator,
// followed by "MB". 3 500 000 bytes -> "3.34MB"; 1 294 500 000 -> "1234.50MB".
// No digit grouping. `locale` defaults to the application's default locale.
QString MegabyteSizeText(std::int64_t bytes, const QLocale& locale = QLocale());

}  // namespace snipwave
