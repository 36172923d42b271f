#include "components/cue/LibcueParse.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <QRegularExpression>
#include <cstdio>
#include <mutex>

extern "C" {
#include <libcue.h>
}

namespace snipwave {

namespace {

std::mutex& LibcueLock() {
  static std::mutex lock;
  return lock;
}

// Most of stderr that is kept: libcue prints a line per bad character, and
// a sheet is at most 1 MB.
constexpr qsizetype kMaxCaught = 1 << 20;

// Points the process's stderr at a file in memory until Finish() or the
// end of scope puts it back. A file, not a pipe: a flood of lines can never
// fill it and block the writer, who is this very thread.
class CaughtStderr {
 public:
  CaughtStderr() {
    std::fflush(stderr);
    sink_ = ::memfd_create("snipwave-libcue-messages", MFD_CLOEXEC);
    if (sink_ < 0) sink_ = ::open("/dev/null", O_WRONLY | O_CLOEXEC);  // silenced, at least
    saved_ = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);             // -1: stderr was closed
    if (sink_ >= 0) ::dup2(sink_, STDERR_FILENO);
  }
  ~CaughtStderr() {
    Restore();
    if (sink_ >= 0) ::close(sink_);
  }
  CaughtStderr(const CaughtStderr&) = delete;
  CaughtStderr& operator=(const CaughtStderr&) = delete;

  // Puts stderr back and returns what was written meanwhile.
  QByteArray Finish() {
    Restore();
    QByteArray caught;
    char buffer[4096];
    off_t at = 0;
    while (sink_ >= 0 && caught.size() < kMaxCaught) {
      const ssize_t n = ::pread(sink_, buffer, sizeof buffer, at);
      if (n <= 0) break;
      caught.append(buffer, n);
      at += n;
    }
    return caught;
  }

 private:
  void Restore() {
    if (restored_) return;
    restored_ = true;
    std::fflush(stderr);
    if (saved_ >= 0) {
      ::dup2(saved_, STDERR_FILENO);
      ::close(saved_);
    } else if (sink_ >= 0) {
      ::close(STDERR_FILENO);
    }
  }

  int sink_ = -1;
  int saved_ = -1;
  bool restored_ = false;
};

void WriteToStderr(const QByteArray& bytes) {
  qsizetype at = 0;
  while (at < bytes.size()) {
    const ssize_t n = ::write(STDERR_FILENO, bytes.constData() + at, static_cast<std::size_t>(bytes.size() - at));
    if (n <= 0) return;
    at += n;
  }
}

}  // namespace

void CdDeleter::operator()(Cd* cd) const { cd_delete(cd); }

bool IsLibcueMessage(QByteArrayView line) {
  static const QRegularExpression shapes(QStringLiteral(
      "^(\\d+: .*|bad character '.'|too many (tracks|indexes)|unable to create (cd|track)|"
      "(rem_new\\(\\): )?problem allocating memory|)$"),
      QRegularExpression::DotMatchesEverythingOption);
  // Latin-1: one character per byte, so "bad character" with any byte matches.
  return shapes.match(QString::fromLatin1(line)).hasMatch();
}

LibcueParse ParseWithLibcue(const QByteArray& utf8) {
  LibcueParse parse;
  QByteArray caught;
  {
    const std::lock_guard<std::mutex> hold(LibcueLock());
    CaughtStderr stderrCaught;
    parse.cd.reset(cue_parse_string(utf8.constData()));
    caught = stderrCaught.Finish();
  }
  QByteArray others;
  const QList<QByteArray> lines = caught.split('\n');
  for (qsizetype i = 0; i < lines.size(); ++i) {
    const QByteArray& line = lines[i];
    if (i + 1 == lines.size() && line.isEmpty()) break;  // after the last line end
    if (!IsLibcueMessage(line)) others += line + '\n';
    else if (!line.isEmpty()) parse.messages.push_back(QString::fromUtf8(line));
  }
  if (!others.isEmpty()) WriteToStderr(others);
  return parse;
}

}  // namespace snipwave
