#include "convert/OutputNames.h"

#include <QDir>
#include <QFileInfo>

#include <sys/stat.h>

#include "platform/FileHelpers.h"
#include "platform/FileNames.h"
#include "platform/PendingOutputFile.h"

namespace snipwave {

QString ReplaceExtension(const QString& fileName, const QString& extension) {
  const qsizetype dot = fileName.lastIndexOf('.');
  return (dot < 0 ? fileName : fileName.left(dot)) + extension;
}

QString AlternativeCutName(const QString& plainName, int k) {
  const QString prefix = QString("Cut(%1)_").arg(k);
  return plainName.startsWith("Cut_") ? prefix + plainName.mid(4) : prefix + plainName;
}

std::optional<QString> FreeOutputPath(const QString& folder, const QString& plainName, const QSet<QString>& reserved) {
  // "exists" in the broadest sense: a folder or a dangling link of that name
  // is not free either, whatever the writer would make of it.
  auto taken = [&reserved](const QString& path) {
    struct stat st {};
    return reserved.contains(path) || ::lstat(FileNameBytes(path).constData(), &st) == 0;
  };
  QString candidate = folder + plainName;
  for (int k = 1; taken(candidate); ++k) {
    if (k > kMaxCutNameNumber) return std::nullopt;
    candidate = folder + AlternativeCutName(plainName, k);
  }
  return candidate;
}

std::optional<QString> FreeCutOutputPath(const QString& folder, const QString& sourcePath, const QString& extension,
                                         const QSet<QString>& reserved) {
  return FreeOutputPath(folder, "Cut_" + ReplaceExtension(QFileInfo(sourcePath).fileName(), extension), reserved);
}

QString NoFreeCutNameMessage(const QString& sourcePath) {
  return "No free output name is left for " + sourcePath + ": Cut_ and Cut(1)_ to Cut(" +
         QString::number(kMaxCutNameNumber) + ")_ all exist in the output folder.";
}

QString NoFreeNameMessage(const QString& sourcePath, const QString& plainName) {
  if (plainName.startsWith("Cut_")) return NoFreeCutNameMessage(sourcePath);
  return "No free output name is left for " + sourcePath + ": " + plainName + " and Cut(1)_ to Cut(" +
         QString::number(kMaxCutNameNumber) + ")_ before it all exist in the output folder.";
}

bool CommitCutOutput(PendingOutputFile& output, const QString& folder, const QString& plainName) {
  for (int attempt = 0; attempt <= kMaxCutNameNumber + 1; ++attempt) {
    if (output.CommitAsNew()) return true;
    const std::optional<QString> next = FreeOutputPath(folder, plainName);
    if (!next) return false;
    output.RetargetTo(*next);
  }
  return false;
}

QString FolderOf(const QString& path) {
  return QDir::toNativeSeparators(QFileInfo(path).absolutePath());
}

QString JoinOutputPath(const QString& chosenPath, const QString& extension) {
  return WithTrailingSeparator(FolderOf(chosenPath)) + ReplaceExtension(QFileInfo(chosenPath).fileName(), extension);
}

}  // namespace snipwave
