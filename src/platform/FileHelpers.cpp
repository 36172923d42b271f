#include "FileHelpers.h"

#include "FileNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace snipwave {

namespace {

std::optional<struct stat> StatOf(const QString& path) {
  struct stat st {};
  if (path.isEmpty() || ::stat(FileNameBytes(path).constData(), &st) != 0) return std::nullopt;
  return st;
}

}  // namespace

bool FileExists(const QString& path) {
  const auto st = StatOf(path);
  return st && S_ISREG(st->st_mode);
}

bool FolderExists(const QString& path) {
  const auto st = StatOf(path);
  return st && S_ISDIR(st->st_mode);
}

bool PathExists(const QString& path) { return StatOf(path).has_value(); }

std::optional<QString> NotARegularFile(const QString& path) {
  struct stat st {};
  if (path.isEmpty() || ::stat(FileNameBytes(path).constData(), &st) != 0) {
    const int error = errno;
    return path + ": " + QString::fromLocal8Bit(std::strerror(error)) + ".";
  }
  if (S_ISREG(st.st_mode)) return std::nullopt;
  const char* what = S_ISDIR(st.st_mode)    ? "a folder"
                     : S_ISFIFO(st.st_mode) ? "a named pipe"
                     : S_ISSOCK(st.st_mode) ? "a socket"
                     : S_ISCHR(st.st_mode)  ? "a character device"
                     : S_ISBLK(st.st_mode)  ? "a block device"
                                            : "not a regular file";
  return path + " is " + what + ", not an audio file.";
}

bool SameFile(const QString& a, const QString& b) {
  const auto first = StatOf(a), second = StatOf(b);
  return first && second && first->st_dev == second->st_dev && first->st_ino == second->st_ino;
}

bool CreateFolderOneLevel(const QString& path) {
  if (FolderExists(path)) return true;
  QString level = path;
  while (level.size() > 1 && (level.endsWith('/') || level.endsWith(NativeSeparator()))) level.chop(1);
  return ::mkdir(FileNameBytes(level).constData(), 0777) == 0 || FolderExists(path);
}

void MakeWritable(const QString& path) {
  const auto st = StatOf(path);
  if (st) ::chmod(FileNameBytes(path).constData(), (st->st_mode & 07777) | S_IWUSR);
}

std::optional<std::int64_t> FileSizeBytes(const QString& path) {
  if (!FileExists(path)) return std::nullopt;
  // O_NONBLOCK: should the name have been replaced by a pipe since the check,
  // the open returns at once instead of waiting for a writer.
  const int fd = ::open(FileNameBytes(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  ::close(fd);
  if (!regular) return std::nullopt;
  return static_cast<std::int64_t>(st.st_size);
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
  DIR* dir = ::opendir(FileNameBytes(folder).constData());
  if (!dir) return {};
  QStringList names;
  while (const dirent* entry = ::readdir(dir)) {
    const QByteArray name(entry->d_name);
    if (name == "." || name == "..") continue;
    names << FileNameFromBytes(name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end(), NaturalLess);
  return names;
}

QString ResolveQtFileName(const QString& path) {
  if (path.isEmpty() || PathExists(path) || !path.contains(QChar(QChar::ReplacementCharacter))) return path;
  const qsizetype slash = path.lastIndexOf('/');
  if (slash < 0) return path;
  const QString parent = slash == 0 ? QStringLiteral("/") : ResolveQtFileName(path.left(slash));
  const QString name = path.mid(slash + 1);
  QString found;
  for (const QString& entry : ListFolderEntries(parent)) {
    if (QFile::decodeName(FileNameBytes(entry)) != name) continue;
    if (!found.isEmpty()) return path;  // two names that Qt shows alike: no guess
    found = entry;
  }
  return found.isEmpty() ? path : WithTrailingSeparator(parent) + found;
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
