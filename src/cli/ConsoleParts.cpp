#include "cli/ConsoleParts.h"

#include <QTextStream>
#include <cstdio>
#include <iterator>
#include <unistd.h>

#include "state/MainState.h"

namespace snipwave {

namespace {
volatile std::sig_atomic_t stopSignal = 0;

void OnStopSignal(int signal) {
  if (stopSignal == 0) stopSignal = signal;
  std::signal(signal, SIG_DFL);
}
}  // namespace

void ConsoleDialogs::ShowInformation(const QString& text) {
  // On a terminal a progress line may stand where the message goes: clear it
  // first (the next update draws it again below the message).
  const char* clearLine = isatty(STDERR_FILENO) ? "\r\033[K" : "";
  QTextStream(stderr) << clearLine << QString(text).replace('\r', '\n') << Qt::endl;
}

bool ConsoleDialogs::AskYesNo(const QString& text, YesNoDefault) {
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
  stopSignal = 0;
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  for (std::size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], &action, &previous_[i]);
}

InterruptPump::~InterruptPump() {
  for (std::size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], &previous_[i], nullptr);
}

void InterruptPump::ProcessPendingMessages() {
  if (stopSignal) state_.Converting = false;
}

int InterruptPump::StopSignal() const { return static_cast<int>(stopSignal); }

}  // namespace snipwave
