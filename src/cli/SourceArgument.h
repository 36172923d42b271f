#pragma once

#include <QString>
#include <optional>

namespace snipwave {

// One source of `snipwave cut` / `snipwave join`: PATH or PATH@BEGIN:END,
// BEGIN and END in sample frames of the source (either may be empty: the
// file's start and its length).
//
// An argument that names an existing file is a path, whatever it holds. Else
// the part after its last "@" is a range when it contains a ":"; a range that
// is not two whole numbers from 0 to 2^63 - 1 (either may be empty) sets
// `error` ("Invalid range ..."). Anything else is a path.
struct SourceArgument {
  QString path;
  std::optional<qint64> begin;
  std::optional<qint64> end;
  QString error;  // empty when the argument is usable
};

SourceArgument ParseSourceArgument(const QString& argument);

}  // namespace snipwave
