#include "cli/SourceArgument.h"

#include <QRegularExpression>

namespace snipwave {

SourceArgument ParseSourceArgument(const QString& argument) {
  static const QRegularExpression range(R"(^(.+)@(\d*):(\d*)$)");
  const QRegularExpressionMatch match = range.match(argument);
  if (!match.hasMatch()) return {argument, std::nullopt, std::nullopt};
  SourceArgument source{match.captured(1), std::nullopt, std::nullopt};
  bool ok = false;
  if (!match.captured(2).isEmpty()) {
    const qint64 v = match.captured(2).toLongLong(&ok);
    source.begin = ok ? v : std::numeric_limits<qint64>::max();  // out of range: refused later
  }
  if (!match.captured(3).isEmpty()) {
    const qint64 v = match.captured(3).toLongLong(&ok);
    source.end = ok ? v : std::numeric_limits<qint64>::max();
  }
  return source;
}

}  // namespace snipwave
