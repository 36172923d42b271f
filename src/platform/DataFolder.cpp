#include "platform/DataFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace snipwave {

QString DataFolder(const QString& executableFolder, const QString& marker) {
  const QString beside = QDir(executableFolder).absolutePath() + "/";
  if (QFileInfo(beside + marker).isFile()) return beside;
  const QString installed = QDir::cleanPath(beside + "../share/snipwave") + "/";
  if (QFileInfo(installed + marker).isFile()) return installed;
  return beside;
}

QString ProgramDataFolder(const QString& marker) {
  return DataFolder(QCoreApplication::applicationDirPath(), marker);
}

}  // namespace snipwave
