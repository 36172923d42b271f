#pragma once

#include <QString>
#include <csignal>
#include <memory>
#include <stop_token>

#include "cli/ConsoleProgress.h"
#include "convert/JobObserver.h"

namespace snipwave {

// Ctrl+C (SIGINT), SIGTERM and SIGHUP noted while the object lives; a second
// one is left to the default handler, so it still ends a run that no longer
// reports anything.
class StopSignals {
 public:
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;
  // The signal that asked the job to stop, 0 when none did.
  int Signal() const;

 private:
  static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
  struct sigaction previous_[3] {};
};

// A job's reports on a terminal: messages to stderr, a progress line when
// stderr is a terminal, and a stop signal turned into a stop of the job at
// its next report (the file being written is completed under its name).
// The overwrite question is answered yes by --yes, else asked on the
// terminal (a stop signal meanwhile answers no at once), else (no terminal)
// answered no.
class ConsoleObserver final : public IJobObserver {
 public:
  ConsoleObserver(int rows, bool assumeYes, const StopSignals& stopSignals, std::stop_source stop);
  void RowStatus(int row, const QString& status) override;
  void RowRestored(int) override { NoteSignal(); }
  void Progress(const JobProgress& progress) override;
  void Message(const QString& text) override;
  bool AskOverwrite(const QString& question) override;
  // Clears the progress line (before the command's own output).
  void EndProgress() { line_.reset(); }

 private:
  void NoteSignal();

  int rows_;
  bool assumeYes_;
  const StopSignals& signals_;
  std::stop_source stop_;
  std::unique_ptr<ProgressLine> line_;  // none: stderr is no terminal
  int rowsDone_ = 0;
};

}  // namespace snipwave
