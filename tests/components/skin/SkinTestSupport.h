#pragma once

#include <QFile>
#include <QString>

#include "TempDir.h"

namespace snipwave::test {

// Writes `text` as a skin file in `dir` and returns its path.
inline QString WriteSkin(const TempDir& dir, const QString& text, const QString& name = "test.skn") {
  const QString path = dir.file(name);
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return {};
  file.write(text.toUtf8());
  return path;
}

}  // namespace snipwave::test
