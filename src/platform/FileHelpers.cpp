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
#include <ctime>
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

// What a file that is not a regular one is, for messages.
const char* KindOf(mode_t mode) {
  return S_ISDIR(mode)    ? "a folder"
         : S_ISFIFO(mode) ? "a named pipe"
         : S_ISSOCK(mode) ? "a socket"
         : S_ISCHR(mode)  ? "a character device"
         : S_ISBLK(mode)  ? "a block device"
                          : "not a regular file";
}

QString SystemReason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

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
    return path + ": " + SystemReason(error) + ".";
  }
  if (S_ISREG(st.st_mode)) return std::nullopt;
  return path + " is " + KindOf(st.st_mode) + ", not an audio file.";
}

int OpenRegularFileForReading(const QString& path, QString& why) {
  const QByteArray name = FileNameBytes(path);
  struct stat st {};
  const auto irregular = [&why](mode_t mode) {
    if (S_ISREG(mode)) return false;
    why = QStringLiteral("it is %1, not a regular file").arg(QLatin1String(KindOf(mode)));
    return true;
  };
  if (path.isEmpty() || ::stat(name.constData(), &st) != 0) {
    why = SystemReason(path.isEmpty() ? ENOENT : errno);
    return -1;
  }
  if (irregular(st.st_mode)) return -1;
  // Non-blocking, and looked at again once open: another kind of file may
  // have taken the name in between.
  const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    why = SystemReason(errno);
    return -1;
  }
  const bool failed = ::fstat(fd, &st) != 0;
  if (failed) why = SystemReason(errno);
  if (failed || irregular(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  // A regular file never blocks: plain reads from here on.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
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

bool ReplaceFileAtomically(const QString& path, const std::string& content, QString* why) {
  const QByteArray target = QFile::encodeName(path);
  QByteArray tempName = target + ".XXXXXX";
  // A write past a file-size limit raises SIGXFSZ, which would kill the
  // process; we want the failing write() instead.
  struct sigaction ignore {}, previous {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGXFSZ, &ignore, &previous);
  auto restore = [&] { sigaction(SIGXFSZ, &previous, nullptr); };
  // The first failure's reason is the one told.
  int error = 0;
  const auto failed = [&error](int code) {
    if (error == 0) error = code != 0 ? code : EIO;
  };

  const int fd = mkstemp(tempName.data());
  if (fd < 0) {
    failed(errno);
    restore();
    if (why) *why = SystemReason(error);
    return false;
  }
  const char* data = content.data();
  std::size_t left = content.size();
  while (error == 0 && left > 0) {
    const ssize_t n = ::write(fd, data, left);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) failed(errno);
    else if (n == 0) failed(ENOSPC);
    else {
      data += n;
      left -= static_cast<std::size_t>(n);
    }
  }
  if (error == 0 && ::fsync(fd) != 0) failed(errno);
  // Keep the permissions of the file being replaced; a new file gets the usual 0644.
  struct stat st {};
  const mode_t mode = (::stat(target.constData(), &st) == 0) ? (st.st_mode & 07777) : 0644;
  if (error == 0 && ::fchmod(fd, mode) != 0) failed(errno);
  if (::close(fd) != 0) failed(errno);
  if (error == 0 && ::rename(tempName.constData(), target.constData()) != 0) failed(errno);
  if (error != 0) ::unlink(tempName.constData());
  restore();
  if (error != 0 && why) *why = SystemReason(error);
  return error == 0;
}

int RemoveStaleReplacements(const QString& path, std::int64_t minimumAgeSeconds) {
  const QFileInfo target(path);
  const QString folder = target.absolutePath();
  const QString prefix = target.fileName() + QLatin1Char('.');
  const auto isTemporaryName = [&prefix](const QString& name) {
    if (name.size() != prefix.size() + 6 || !name.startsWith(prefix)) return false;
    for (qsizetype i = prefix.size(); i < name.size(); ++i) {
      const char16_t c = name[i].unicode();
      if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'))) return false;
    }
    return true;
  };
  const std::int64_t now = static_cast<std::int64_t>(::time(nullptr));
  int removed = 0;
  for (const QString& name : ListFolderEntries(folder)) {
    if (!isTemporaryName(name)) continue;
    const QByteArray bytes = FileNameBytes(QDir(folder).filePath(name));
    struct stat st {};
    // lstat: a link is not ours, whatever it leads to.
    if (::lstat(bytes.constData(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (now - static_cast<std::int64_t>(st.st_mtime) < minimumAgeSeconds) continue;
    if (::unlink(bytes.constData()) == 0) ++removed;
  }
  return removed;
}

}  // namespace snipwave
