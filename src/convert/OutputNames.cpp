#include "convert/OutputNames.h"

#include <QDir>
#include <QFileInfo>

#include <sys/stat.h>

#include "platform/FileHelpers.h"
#include "platform/FileNames.h"

namespace snipwave {

QString ReplaceExtension(const QString& fileName, const QString& extension) {
  const qsizetype dot = fileName.lastIndexOf('.');
  return (dot < 0 ? fileName : fileName.left(dot)) + extension;
}

std::optional<QString> FreeCutOutputPath(const QString& folder, const QString& sourcePath,
                                         const QString& extension) {
  const QString name = ReplaceExtension(QFileInfo(sourcePath).fileName(), extension);
  // "exists" in the broadest sense: a folder or a dangling link of that name
  // is not free either, whatever the writer would make of it.
  auto taken = [](const QString& path) {
    struct stat st {};
    return ::lstat(FileNameBytes(path).constData(), &st) == 0;
  };
  QString candidate = folder + "Cut_" + name;
  for (int k = 1; taken(candidate); ++k) {
    if (k > kMaxCutNameNumber) return std::nullopt;
    candidate = folder + QString("Cut(%1)_").arg(k) + name;
  }
  return candidate;
}

QString FolderOf(const QString& path) {
  return QDir::toNativeSeparators(QFileInfo(path).absolutePath());
}

QString JoinOutputPath(const QString& chosenPath, const QString& extension) {
  return WithTrailingSeparator(FolderOf(chosenPath)) + ReplaceExtension(QFileInfo(chosenPath).fileName(), extension);
}

}  // namespace snipwave
