#include "cli/SourceArgument.h"

#include <QRegularExpression>

#include "platform/FileHelpers.h"

namespace snipwave {

namespace {

// A frame number: decimal digits only, within qint64.
std::optional<qint64> FrameNumber(const QString& text, bool& ok) {
  ok = true;
  if (text.isEmpty()) return std::nullopt;
  static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
  if (!digits.match(text).hasMatch()) {
    ok = false;
    return std::nullopt;
  }
  const qint64 value = text.toLongLong(&ok);
  if (!ok) return std::nullopt;
  return value;
}

}  // namespace

SourceArgument ParseSourceArgument(const QString& argument) {
  const qsizetype at = argument.lastIndexOf('@');
  if (at <= 0 || PathExists(argument)) return {argument, std::nullopt, std::nullopt, QString()};
  const QString range = argument.mid(at + 1);
  const qsizetype colon = range.indexOf(':');
  if (colon < 0) return {argument, std::nullopt, std::nullopt, QString()};

  SourceArgument source{argument.left(at), std::nullopt, std::nullopt, QString()};
  bool beginOk = false, endOk = false;
  source.begin = FrameNumber(range.left(colon), beginOk);
  source.end = FrameNumber(range.mid(colon + 1), endOk);
  if (!beginOk || !endOk) {
    source.error = "Invalid range \"" + range + "\" in " + argument +
                   ". BEGIN and END are sample frames: whole numbers from 0 to 9223372036854775807; "
                   "either may be left empty (PATH@BEGIN:END).";
  }
  return source;
}

}  // namespace snipwave
