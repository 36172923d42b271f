#include "FileHelpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace snipwave {

bool FileExists(const QString& path) {
  QFileInfo info(path);
  return info.exists() && info.isFile();
}

bool FolderExists(const QString& path) {
  QFileInfo info(path);
  return info.exists() && info.isDir();
}

bool CreateFolderOneLevel(const QString& path) {
  if (FolderExists(path)) return true;
  QDir dir;
  return dir.mkdir(path) || FolderExists(path);
}

void MakeWritable(const QString& path) {
  QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::WriteOwner | QFileDevice::WriteUser);
}

std::optional<std::int64_t> FileSizeBytes(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  QFileInfo info(path);
  if (!info.isFile()) return std::nullopt;
  return file.size();
}

QStringList ListFolderEntries(const QString& folder) {
  QDir dir(folder);
  if (!dir.exists()) return {};
  return dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                       QDir::Unsorted);
}

QChar NativeSeparator() { return QDir::separator(); }

QString WithTrailingSeparator(const QString& folder) {
  if (folder.isEmpty() || folder.endsWith(NativeSeparator()) || folder.endsWith('/')) return folder;
  return folder + NativeSeparator();
}

bool ReplaceFileAtomically(const QString& path, const std::string& content) {
  const QByteArray target = QFile::encodeName(path);
  QByteArray tempName = target + ".XXXXXX";
  // A write past a file-size limit raises SIGXFSZ, which would kill the
  // process; we want the failing write() instead.
  struct sigaction ignore {}, previous {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGXFSZ, &ignore, &previous);
  auto restore = [&] { sigaction(SIGXFSZ, &previous, nullptr); };

  const int fd = mkstemp(tempName.data());
  if (fd < 0) {
    restore();
    return false;
  }
  bool ok = true;
  const char* data = content.data();
  std::size_t left = content.size();
  while (ok && left > 0) {
    const ssize_t n = ::write(fd, data, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ok = false;
    else {
      data += n;
      left -= static_cast<std::size_t>(n);
    }
  }
  if (ok && ::fsync(fd) != 0) ok = false;
  // Keep the permissions of the file being replaced; a new file gets the usual 0644.
  struct stat st {};
  const mode_t mode = (::stat(target.constData(), &st) == 0) ? (st.st_mode & 07777) : 0644;
  if (ok && ::fchmod(fd, mode) != 0) ok = false;
  if (::close(fd) != 0) ok = false;
  if (ok && ::rename(tempName.constData(), target.constData()) != 0) ok = false;
  if (!ok) ::unlink(tempName.constData());
  restore();
  return ok;
}

}  // namespace snipwave
