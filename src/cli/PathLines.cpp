#include "cli/PathLines.h"

#include <algorithm>

namespace snipwave {

namespace {

bool IsControl(QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; }

// Inside $'...': the C escapes a shell knows, octal for the rest.
QString Escaped(QChar c) {
  switch (c.unicode()) {
    case '\n': return "\\n";
    case '\t': return "\\t";
    case '\r': return "\\r";
    case '\a': return "\\a";
    case '\b': return "\\b";
    case '\f': return "\\f";
    case '\v': return "\\v";
    case 0x1b: return "\\E";
    default: return QString("\\%1").arg(c.unicode(), 3, 8, QLatin1Char('0'));
  }
}

}  // namespace

QString PathLine(const QString& path) {
  if (!path.startsWith('\'') && std::none_of(path.begin(), path.end(), IsControl)) return path;
  // Runs of ordinary characters go in '...' (a "'" as '\''), runs of control
  // characters in $'...'; the line always opens with "'".
  QString line = "'";
  bool inPlain = true;
  for (const QChar c : path) {
    if (IsControl(c)) {
      if (inPlain) line += "'$'";
      inPlain = false;
      line += Escaped(c);
    } else {
      if (!inPlain) line += "''";
      inPlain = true;
      line += c == '\'' ? QString("'\\''") : QString(c);
    }
  }
  line += "'";
  return line;
}

}  // namespace snipwave
