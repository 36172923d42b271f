#pragma once

#include <QString>
#include <cstdint>
#include <variant>

#include "state/Timerec.h"

namespace snipwave {

// A mark as the user types it: a time "h:mm:ss.mmm", "m:ss.mmm" or
// "ss.mmm" (the fraction optional, one to three digits; the first field any
// size, the later ones below 60), or a sample number "#N".
struct TypedTime {
  std::int64_t ms = 0;
};
struct TypedSample {
  std::int64_t sample = 0;
};
using TypedMark = std::variant<TypedTime, TypedSample>;

// The mark, or the message that says what is expected.
std::variant<TypedMark, QString> ParseTypedMark(const QString& text);

inline const QString kTypedMarkExpected = QStringLiteral(
    "Type a time as h:mm:ss.mmm, m:ss.mmm or ss.mmm, or a sample number as #N.");

// The frame of record r the mark stands for (a time through the file's own
// duration), or the message when it lies outside the file.
std::variant<std::int64_t, QString> TypedMarkSample(const TypedMark& mark, const Timerec& r);

// The exact value of a frame: "hh:mm:ss.mmm (sample N)", hours with at least
// two digits.
QString PreciseTimeText(std::int64_t sample, const Timerec& r);
// "hh:mm:ss.mmm", from milliseconds.
QString PreciseClockText(std::int64_t ms);

}  // namespace snipwave
