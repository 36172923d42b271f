#include "components/cue/LabelFile.h"

#include <QStringList>
#include <optional>

#include "components/cue/SheetText.h"
#include "platform/Error.h"

namespace snipwave {

namespace {

// Hours of audio fit many times over; the bound keeps the arithmetic far from overflow.
constexpr std::int64_t kMaxWholeSeconds = 1'000'000'000;

// "12", "12.5", "0.123456", ".5": seconds in microseconds, digits past the
// sixth decimal rounded. Nothing for anything else (signs, exponents, commas).
std::optional<std::int64_t> ParseSeconds(QStringView text) {
  text = text.trimmed();
  const qsizetype point = text.indexOf(QLatin1Char('.'));
  const QStringView whole = point < 0 ? text : text.first(point);
  const QStringView fraction = point < 0 ? QStringView() : text.sliced(point + 1);
  if (whole.isEmpty() && fraction.isEmpty()) return std::nullopt;
  std::int64_t seconds = 0;
  for (const QChar c : whole) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
    seconds = seconds * 10 + (c.unicode() - '0');
    if (seconds > kMaxWholeSeconds) return std::nullopt;
  }
  std::int64_t micro = 0;
  int digits = 0;
  bool roundUp = false;
  for (const QChar c : fraction) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
    if (digits < 6) micro = micro * 10 + (c.unicode() - '0');
    else if (digits == 6) roundUp = c >= QLatin1Char('5');
    ++digits;
  }
  for (int d = digits; d < 6; ++d) micro *= 10;
  return seconds * 1'000'000 + micro + (roundUp ? 1 : 0);
}

[[noreturn]] void Refuse(int line, const QString& why) {
  throw Error(QStringLiteral("line %1: %2").arg(line).arg(why).toStdString());
}

QString Shown(const QString& line) { return line.size() > 40 ? line.left(40) + QStringLiteral("…") : line; }

std::int64_t ScaleRounded(std::int64_t a, std::int64_t b, std::int64_t c) {
  if (a <= 0 || b <= 0 || c <= 0) return 0;
  const __int128 product = static_cast<__int128>(a) * b;
  return static_cast<std::int64_t>((product + c / 2) / c);
}

}  // namespace

std::vector<Label> ParseLabels(const QByteArray& bytes) {
  const QString text = DecodeSheetText(bytes);
  std::vector<Label> labels;
  const QStringList lines = text.split(QLatin1Char('\n'));
  for (int i = 0; i < lines.size(); ++i) {
    const QString& line = lines[i];
    const int number = i + 1;
    if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('\\'))) continue;
    const QStringList fields = line.split(QLatin1Char('\t'));
    if (fields.size() < 2)
      Refuse(number, QStringLiteral("\"%1\" is not start<TAB>end<TAB>label").arg(Shown(line)));
    const std::optional<std::int64_t> begin = ParseSeconds(fields[0]);
    const std::optional<std::int64_t> end = ParseSeconds(fields[1]);
    if (!begin || !end) {
      const QString& bad = begin ? fields[1] : fields[0];
      Refuse(number, QStringLiteral("\"%1\" is not a time in seconds (digits and a decimal point, as 12.5)")
                         .arg(Shown(bad.trimmed())));
    }
    if (*end < *begin) Refuse(number, QStringLiteral("the end lies before the start"));
    if (*end == *begin) continue;
    labels.push_back({*begin, *end, fields.size() > 2 ? fields.mid(2).join(QLatin1Char('\t')).trimmed() : QString()});
  }
  if (labels.empty()) throw Error("it holds no label with a range (start<TAB>end<TAB>label, end after start)");
  return labels;
}

std::vector<Label> ReadLabelFile(const QString& path) {
  const QByteArray bytes = ReadSheetFile(path, "a label file");
  try {
    return ParseLabels(bytes);
  } catch (const Error& e) {
    throw Error::Failed("Read label file", path.toStdString(), e.what());
  }
}

std::int64_t MicrosecondsToFrames(std::int64_t us, int sampleRate) { return ScaleRounded(us, sampleRate, 1'000'000); }
std::int64_t FramesToMicroseconds(std::int64_t frames, int sampleRate) {
  return ScaleRounded(frames, 1'000'000, sampleRate);
}

QByteArray WriteLabels(const std::vector<LabelRow>& rows, int sampleRate) {
  // Built from integers, so no locale's decimal comma can get in.
  auto seconds = [sampleRate](std::int64_t frames) {
    const std::int64_t us = FramesToMicroseconds(frames, sampleRate);
    return QStringLiteral("%1.%2").arg(us / 1'000'000).arg(us % 1'000'000, 6, 10, QLatin1Char('0'));
  };
  QString text;
  for (const LabelRow& row : rows) {
    QString label = row.text;
    label.replace(QLatin1Char('\t'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    text += seconds(row.begin) + QLatin1Char('\t') + seconds(row.end) + QLatin1Char('\t') + label + QLatin1Char('\n');
  }
  return text.toUtf8();
}

}  // namespace snipwave
