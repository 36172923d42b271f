#include "preview/TypedMark.h"

#include <QRegularExpression>
#include <algorithm>

#include "platform/MulDiv.h"

namespace snipwave {

namespace {
constexpr std::int64_t kMaxField = 1'000'000'000'000LL;  // keeps every product in 64 bits
}

std::variant<TypedMark, QString> ParseTypedMark(const QString& typed) {
  const QString text = typed.trimmed();
  static const QRegularExpression kSample(QStringLiteral("^#\\s*(\\d{1,18})$"));
  if (const auto m = kSample.match(text); m.hasMatch()) return TypedMark{TypedSample{m.captured(1).toLongLong()}};

  static const QRegularExpression kTime(
      QStringLiteral("^(?:(?:(\\d{1,9}):)?(\\d{1,9}):)?(\\d{1,12})(?:[.,](\\d{1,3}))?$"));
  const auto m = kTime.match(text);
  if (!m.hasMatch()) return kTypedMarkExpected;
  const bool hasHours = m.capturedLength(1) > 0;
  const bool hasMinutes = m.capturedLength(2) > 0;
  const std::int64_t hours = hasHours ? m.captured(1).toLongLong() : 0;
  const std::int64_t minutes = hasMinutes ? m.captured(2).toLongLong() : 0;
  const std::int64_t seconds = m.captured(3).toLongLong();
  // Only the leading field may exceed its clock range.
  if ((hasHours && minutes >= 60) || (hasMinutes && seconds >= 60)) return kTypedMarkExpected;
  if ((hasMinutes && m.capturedLength(3) != 2) || (hasHours && m.capturedLength(2) != 2)) return kTypedMarkExpected;
  if (seconds > kMaxField) return kTypedMarkExpected;
  QString fraction = m.captured(4);
  while (fraction.size() < 3) fraction += '0';
  const std::int64_t ms = ((hours * 60 + minutes) * 60 + seconds) * 1000 + fraction.toLongLong();
  return TypedMark{TypedTime{ms}};
}

std::variant<std::int64_t, QString> TypedMarkSample(const TypedMark& mark, const Timerec& r) {
  std::int64_t sample = 0;
  if (const auto* time = std::get_if<TypedTime>(&mark)) {
    if (time->ms > r.TotalMs) return "The file lasts " + PreciseClockText(r.TotalMs) + "; " +
                                      PreciseClockText(time->ms) + " lies past its end.";
    sample = r.TotalMs > 0 ? MulDiv64(time->ms, r.TotalSamples, r.TotalMs) : 0;
  } else {
    sample = std::get<TypedSample>(mark).sample;
    if (sample > r.TotalSamples)
      return QString("The file has %1 samples; sample %2 lies past its end.").arg(r.TotalSamples).arg(sample);
  }
  return std::clamp<std::int64_t>(sample, 0, r.TotalSamples);
}

QString PreciseClockText(std::int64_t ms) {
  const std::int64_t s = ms / 1000;
  return QString("%1:%2:%3.%4")
      .arg(s / 3600, 2, 10, QChar('0'))
      .arg(s / 60 % 60, 2, 10, QChar('0'))
      .arg(s % 60, 2, 10, QChar('0'))
      .arg(ms % 1000, 3, 10, QChar('0'));
}

QString PreciseTimeText(std::int64_t sample, const Timerec& r) {
  const std::int64_t ms = r.TotalSamples > 0 ? std::max<std::int64_t>(0, MulDiv64(sample, r.TotalMs, r.TotalSamples)) : 0;
  return PreciseClockText(ms) + QString(" (sample %1)").arg(sample);
}

}  // namespace snipwave
