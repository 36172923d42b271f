#include "cli/ConsoleObserver.h"

#include <QTextStream>
#include <cerrno>
#include <cstdio>
#include <iterator>
#include <optional>
#include <poll.h>
#include <unistd.h>

#include "convert/CutJob.h"
#include "convert/OutputCheck.h"

namespace snipwave {

namespace {
volatile std::sig_atomic_t stopSignal = 0;

void OnStopSignal(int signal) {
  if (stopSignal == 0) stopSignal = signal;
  std::signal(signal, SIG_DFL);
}

// One line typed on the terminal, without its end. Nothing once a stop
// signal has come (looked at every 100 ms while nothing is typed, since the
// signal may come just before a read would start and not interrupt it).
std::optional<QString> ReadAnswer(const StopSignals& stopSignals) {
  QByteArray line;
  for (;;) {
    if (stopSignals.Signal()) return std::nullopt;
    pollfd typed{STDIN_FILENO, POLLIN, 0};
    const int ready = ::poll(&typed, 1, 100);
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0) continue;
    char c = 0;
    const ssize_t got = ::read(STDIN_FILENO, &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0 || c == '\n') break;
    line += c;
  }
  return QString::fromLocal8Bit(line);
}
}  // namespace

StopSignals::StopSignals() {
  stopSignal = 0;
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  for (std::size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], &action, &previous_[i]);
}

StopSignals::~StopSignals() {
  for (std::size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], &previous_[i], nullptr);
}

int StopSignals::Signal() const { return static_cast<int>(stopSignal); }

ConsoleObserver::ConsoleObserver(int rows, bool assumeYes, const StopSignals& stopSignals, std::stop_source stop)
    : rows_(rows), assumeYes_(assumeYes), signals_(stopSignals), stop_(std::move(stop)) {
  // A progress line only for a person watching: never into a file or a pipe.
  if (isatty(STDERR_FILENO)) line_ = std::make_unique<ProgressLine>(stderr);
}

void ConsoleObserver::NoteSignal() {
  if (signals_.Signal() != 0) stop_.request_stop();
}

void ConsoleObserver::RowStatus(int, const QString& status) {
  NoteSignal();
  if (status == kFinishStatus || status == kShortStatus || status == kCheckFailedStatus) ++rowsDone_;
}

void ConsoleObserver::Progress(const JobProgress& progress) {
  NoteSignal();
  if (line_ && progress.jobFrames > 0)
    line_->Show(double(progress.jobDone) / double(progress.jobFrames), std::min(rowsDone_, rows_), rows_);
}

void ConsoleObserver::Message(const QString& text) {
  NoteSignal();
  if (line_) line_->Clear();  // the message goes where the line stood; the next update draws it below
  QTextStream(stderr) << QString(text).replace('\r', '\n') << Qt::endl;
}

bool ConsoleObserver::AskOverwrite(const QString& question) {
  QTextStream err(stderr);
  if (assumeYes_) {
    err << question << " yes (--yes)" << Qt::endl;
    return true;
  }
  if (!isatty(fileno(stdin))) {
    err << question << " no (not a terminal; --yes answers yes)" << Qt::endl;
    return false;
  }
  err << question << " [y/N] " << Qt::flush;
  const std::optional<QString> typed = ReadAnswer(signals_);
  if (!typed) {
    err << Qt::endl;
    return false;
  }
  const QString answer = typed->trimmed().toLower();
  return answer == "y" || answer == "yes";
}

}  // namespace snipwave
