#pragma once

#include <QString>
#include <optional>

namespace snipwave {

// One source of `snipwave cut` / `snipwave join`: PATH or PATH@BEGIN:END,
// BEGIN and END in sample frames of the source (either may be empty: the
// file's start and its length). The part after the last "@" is read as a
// range only when it has that form, so other paths with "@" stay whole.
struct SourceArgument {
  QString path;
  std::optional<qint64> begin;
  std::optional<qint64> end;
};

SourceArgument ParseSourceArgument(const QString& argument);

}  // namespace snipwave
