#include "platform/PendingOutputFile.h"

#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Error.h"
#include "platform/FileNames.h"

namespace snipwave {

namespace {

constexpr const char* kMarker = ".snipwave-";
constexpr int kRandomLength = 6;

QString RandomTag() {
  static const char kAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  QString tag;
  for (int i = 0; i < kRandomLength; ++i)
    tag += QLatin1Char(kAlphabet[QRandomGenerator::global()->bounded(int(sizeof kAlphabet - 1))]);
  return tag;
}

// The longest file name, in bytes, that the file system of `folder` takes
// (255 on most; the POSIX value when the folder cannot be asked).
long NameMaxIn(const QString& folder) {
  const long max = ::pathconf(FileNameBytes(folder.isEmpty() ? QStringLiteral(".") : folder).constData(), _PC_NAME_MAX);
  return max > 0 ? max : NAME_MAX;
}

// Code units of the character at `at` of `text`: 2 for a surrogate pair,
// else 1 (a stray byte's code unit counts as one character).
qsizetype CharacterSize(const QString& text, qsizetype at) {
  return at + 1 < text.size() && text[at].isHighSurrogate() && text[at + 1].isLowSurrogate() ? 2 : 1;
}

void ChopCharacter(QString& text) {
  const qsizetype n = text.size();
  text.chop(n >= 2 && CharacterSize(text, n - 2) == 2 ? 2 : 1);
}

qsizetype NameBytes(const QString& name) { return FileNameBytes(name).size(); }

// "/music/Cut_song.mp3" -> "/music/.Cut_song.snipwave-<tag>.mp3". The marker
// makes the name 17 bytes longer than the final one; where that would pass
// `nameMax`, the stem is shortened (whole characters only) so that every
// final name the file system takes has a temporary name it takes too. The
// extension stays, since the writers choose the type by it.
QString TemporaryNameFor(const QString& finalPath, const QString& tag, long nameMax) {
  const qsizetype slash = finalPath.lastIndexOf('/');
  const QString folder = finalPath.left(slash + 1);
  const QString name = finalPath.mid(slash + 1);
  const qsizetype dot = name.lastIndexOf('.');
  QString stem = dot > 0 ? name.left(dot) : name;
  QString extension = dot > 0 ? name.mid(dot) : QString();
  const QString affix = kMarker + tag;
  auto temporary = [&] { return "." + stem + affix + extension; };
  while (NameBytes(temporary()) > nameMax && !stem.isEmpty()) ChopCharacter(stem);
  // An extension of hundreds of bytes (no type any writer knows): its end is kept.
  while (NameBytes(temporary()) > nameMax && extension.size() > 1)
    extension.remove(1, CharacterSize(extension, 1));
  return folder + temporary();
}

std::string Reason(int error) { return std::strerror(error); }

}  // namespace

PendingOutputFile::PendingOutputFile(QString finalPath) : final_(std::move(finalPath)) {
  const qsizetype slash = final_.lastIndexOf('/');
  const long nameMax = NameMaxIn(final_.left(slash + 1));
  // A final name the file system cannot hold fails now, before anything is written.
  if (NameBytes(final_.mid(slash + 1)) > nameMax)
    throw Error::Failed("Cannot create", SystemPath(final_), Reason(ENAMETOOLONG));
  for (int attempt = 0;; ++attempt) {
    const QString candidate = TemporaryNameFor(final_, RandomTag(), nameMax);
    // 0666 less the umask: the finished file gets the permissions of any new file.
    const int fd = ::open(FileNameBytes(candidate).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      ::close(fd);
      temporary_ = candidate;
      return;
    }
    const int error = errno;
    if (error != EEXIST || attempt > 100) throw Error::Failed("Cannot create", SystemPath(final_), Reason(error));
  }
}

PendingOutputFile::~PendingOutputFile() {
  if (!committed_ && !temporary_.isEmpty()) ::unlink(FileNameBytes(temporary_).constData());
}

void PendingOutputFile::Flush() const {
  // The data reaches the disk before the name does: after a crash the final
  // name holds either the old file or the complete new one.
  const int fd = ::open(FileNameBytes(temporary_).constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    throw Error::Failed("Cannot save", SystemPath(final_), Reason(error));
  }
  const int rc = ::fsync(fd);
  const int error = errno;
  ::close(fd);
  if (rc != 0 && error != EINVAL) throw Error::Failed("Cannot save", SystemPath(final_), Reason(error));
}

bool PendingOutputFile::CommitAsNew() {
  Flush();
  const QByteArray from = FileNameBytes(temporary_), to = FileNameBytes(final_);
  // A hard link is created only when the name is free, in one step; the
  // temporary name is dropped afterwards.
  if (::link(from.constData(), to.constData()) == 0) {
    ::unlink(from.constData());
    committed_ = true;
    return true;
  }
  int error = errno;
  if (error == EEXIST) return false;
  if (error == EPERM || error == EOPNOTSUPP || error == EMLINK || error == ENOSYS) {
    // File systems without hard links (FAT, some network shares): the same
    // refusal to replace, in one step where the system offers it.
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) {
      committed_ = true;
      return true;
    }
    error = errno;
    if (error == EEXIST) return false;
    if (error == EINVAL || error == ENOSYS) {
      // Last resort: check, then rename (a file appearing in between is the
      // only thing this cannot rule out).
      struct stat st {};
      if (::lstat(to.constData(), &st) == 0) return false;
      if (::rename(from.constData(), to.constData()) == 0) {
        committed_ = true;
        return true;
      }
      error = errno;
    }
  }
  throw Error::Failed("Cannot save", SystemPath(final_), Reason(error));
}

void PendingOutputFile::CommitReplacing() {
  Flush();
  if (::rename(FileNameBytes(temporary_).constData(), FileNameBytes(final_).constData()) != 0) {
    const int error = errno;
    throw Error::Failed("Cannot replace", SystemPath(final_), Reason(error));
  }
  committed_ = true;
}

}  // namespace snipwave
