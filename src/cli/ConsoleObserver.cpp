#include "cli/ConsoleObserver.h"

#include <QTextStream>
#include <cstdio>
#include <iterator>
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
  const QString answer = QTextStream(stdin).readLine().trimmed().toLower();
  return answer == "y" || answer == "yes";
}

}  // namespace snipwave
