#include "FileHelpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
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

namespace {

// Compares runs of digits by their value ("2" < "10"; "003" after "3") and
// everything else case-insensitively; names equal that way keep a fixed order.
bool NaturalLess(const QString& a, const QString& b) {
  qsizetype i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (a[i].isDigit() && b[j].isDigit()) {
      qsizetype ei = i, ej = j;
      while (ei < a.size() && a[ei].isDigit()) ++ei;
      while (ej < b.size() && b[ej].isDigit()) ++ej;
      qsizetype zi = i, zj = j;  // skip leading zeros
      while (zi + 1 < ei && a[zi] == '0') ++zi;
      while (zj + 1 < ej && b[zj] == '0') ++zj;
      const QStringView da = QStringView(a).mid(zi, ei - zi), db = QStringView(b).mid(zj, ej - zj);
      if (da.size() != db.size()) return da.size() < db.size();
      if (const int c = da.compare(db); c != 0) return c < 0;
      if ((ei - i) != (ej - j)) return (ei - i) < (ej - j);
      i = ei;
      j = ej;
      continue;
    }
    const QChar ca = a[i].toCaseFolded(), cb = b[j].toCaseFolded();
    if (ca != cb) return ca < cb;
    ++i;
    ++j;
  }
  if ((a.size() - i) != (b.size() - j)) return (a.size() - i) < (b.size() - j);
  return a < b;
}

}  // namespace

QStringList ListFolderEntries(const QString& folder) {
  QDir dir(folder);
  if (!dir.exists()) return {};
  QStringList names = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                    QDir::Unsorted);
  std::sort(names.begin(), names.end(), NaturalLess);
  return names;
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
