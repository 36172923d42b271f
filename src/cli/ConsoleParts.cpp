#include "cli/ConsoleParts.h"

#include <QTextStream>
#include <cstdio>
#include <unistd.h>

#include "state/MainState.h"

namespace snipwave {

namespace {
volatile std::sig_atomic_t interruptRequests = 0;

void OnInterrupt(int) {
  interruptRequests = 1;
  std::signal(SIGINT, SIG_DFL);
}
}  // namespace

void ConsoleDialogs::ShowInformation(const QString& text) {
  QTextStream(stderr) << QString(text).replace('\r', '\n') << Qt::endl;
}

bool ConsoleDialogs::AskYesNo(const QString& text) {
  QTextStream err(stderr);
  if (assumeYes_) {
    err << text << " yes (--yes)" << Qt::endl;
    return true;
  }
  if (!isatty(fileno(stdin))) {
    err << text << " no (not a terminal; --yes answers yes)" << Qt::endl;
    return false;
  }
  err << text << " [y/N] " << Qt::flush;
  const QString answer = QTextStream(stdin).readLine().trimmed().toLower();
  return answer == "y" || answer == "yes";
}

void MemoryTrackList::SelectRow(int row) {
  if (row >= 0 && row < RowCount()) selected_ = row;
}
void MemoryTrackList::DeselectRow(int row) {
  if (selected_ == row) selected_ = -1;
}
void MemoryTrackList::DeleteRow(int row) {
  rows_.erase(rows_.begin() + row);
  if (selected_ == row) selected_ = -1;
  else if (selected_ > row) --selected_;
}
void MemoryTrackList::DeleteAllRows() {
  rows_.clear();
  selected_ = -1;
}
void MemoryTrackList::SetCellText(int row, TrackCell cell, const QString& text) {
  rows_.at(static_cast<std::size_t>(row)).cells[cell] = text;
}

InterruptPump::InterruptPump(MainState& state) : state_(state) {
  interruptRequests = 0;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, &previous_);
}

InterruptPump::~InterruptPump() { sigaction(SIGINT, &previous_, nullptr); }

void InterruptPump::ProcessPendingMessages() {
  if (interruptRequests) state_.Converting = false;
}

bool InterruptPump::Interrupted() const { return interruptRequests != 0; }

}  // namespace snipwave
