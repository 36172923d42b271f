#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <vector>

#include "convert/SilenceScan.h"
#include "state/MainState.h"

class QTimer;

namespace snipwave {

// "Split at silences": replaces the marked row (the playing row during a
// preview, else the selected one) by the rows of its sounding parts within
// its range. The silences are found on a worker thread while the list stays
// usable; the job progress display shows how far the search is. Only the
// commands that would fight over the progress display or the rows as a
// whole (cut, join, a second search) are refused meanwhile, with a message.
//
// The row is followed by its file and range, not by its place: moved, it is
// still found; removed, or its range changed, the search ends quietly and
// nothing is replaced. Results that arrive while an add or a job lets
// messages through wait until it ends. Stop() (the window's stop, Esc) ends
// the search and leaves the row as it was.
class SilenceSplitCommand final : public QObject {
 public:
  explicit SilenceSplitCommand(MainState& state, QObject* parent = nullptr);
  ~SilenceSplitCommand() override;

  void Start();
  void Stop();
  // A search is running, or its result waits to be applied.
  bool Running() const { return running_; }
  // Says that a search runs and returns true when one does.
  bool RefuseWhileRunning();

 private:
  void OnProgress(double share);
  void OnFinished(const SilenceScan::Outcome& outcome);
  void ApplyWhenListIsFree();
  // Where the row is now, -1 when no row has its file and range any more.
  int FindRow() const;
  void End();

  MainState& state_;
  QPointer<SilenceScan> scan_;
  bool running_ = false;
  int row_ = -1;
  Timerec record_;
  QString name_;
  std::vector<std::int64_t> points_;
  QTimer* retry_ = nullptr;
};

// Messages of the command.
QString NoSilenceMessage(const QString& fileName);
QString SilenceSearchBusyMessage(const QString& fileName);

}  // namespace snipwave
