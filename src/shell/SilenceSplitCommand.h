#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

#include "convert/SilenceScan.h"
#include "shell/SilenceSplitChoice.h"
#include "state/MainState.h"

class QTimer;

namespace snipwave {

// "Split at silences": replaces the marked row (the playing row during a
// preview, else the selected one) by the rows of its sounding parts within
// its range.
//
// With a dialog, the threshold and minimum length are first chosen in it,
// starting from [Silence] of the settings file: while it is open the parts
// the values shown give are found and drawn on the waveform, and nothing
// changes in the list. Cancel leaves everything as it was; OK keeps the
// values in the settings file and replaces the row, at once when the parts
// of those values are already found.
//
// Otherwise (and after OK, while the parts are still being found) the
// silences are found on a worker thread while the list stays usable; the job
// progress display shows how far the search is. Only the commands that would
// fight over the progress display or the rows as a whole (cut, join, a second
// search) are refused meanwhile, with a message.
//
// The row is followed by its file and range, not by its place: moved, it is
// still found; removed, or its range changed, the search ends quietly and
// nothing is replaced. Results that arrive while an add or a job lets
// messages through wait until it ends. Stop() (the window's stop, Esc) ends
// the search and leaves the row as it was.
class SilenceSplitCommand final : public QObject, private ISilencePreview {
 public:
  // `dialog`: asked for the values at every start; none: the settings file's.
  explicit SilenceSplitCommand(MainState& state, ISilenceSplitDialog* dialog = nullptr, QObject* parent = nullptr);
  ~SilenceSplitCommand() override;

  void Start();
  void Stop();
  // A search is running (also while the dialog is open), or its result waits
  // to be applied.
  bool Running() const { return running_; }
  // Says that a search runs and returns true when one does.
  bool RefuseWhileRunning();
  // Runs the replacement of the row as one named edit (the window's undo
  // history); none: the replacement just runs.
  std::function<void(const QString& step, const std::function<void()>& edit)> RecordEdit;

 private:
  // ISilencePreview, for the dialog.
  void Find(const SilenceRule& rule) override;
  QString Status() const override;
  bool Done() const override { return scanDone_; }
  void OnChanged(std::function<void()> changed) override { changed_ = std::move(changed); }

  void StartScan(const SilenceRule& rule);
  void OnProgress(double share);
  void OnFinished(const SilenceScan::Outcome& outcome);
  // After OK: the parts of `rule` replace the row, now or when found.
  void Replace(const SilenceRule& rule);
  // A finished search: its failure is told and the row left alone, or its
  // parts replace the row once the list is free.
  void FinishFoundScan();
  void ApplyWhenListIsFree();
  void ShowPreview(bool show);
  void Changed();
  // Where the row is now, -1 when no row has its file and range any more.
  int FindRow() const;
  void End();

  MainState& state_;
  ISilenceSplitDialog* dialog_;
  QPointer<SilenceScan> scan_;
  bool running_ = false;
  bool choosing_ = false;  // the dialog is open
  int row_ = -1;
  Timerec record_;
  QString name_;
  // The search for scanRule_: how far it is, and once done what it found.
  SilenceRule scanRule_;
  bool scanDone_ = false;
  double share_ = 0;
  std::vector<std::int64_t> points_;
  QString error_;
  std::function<void()> changed_;
  QTimer* retry_ = nullptr;
};

// Messages of the command.
QString NoSilenceMessage(const QString& fileName);
QString SilenceSearchBusyMessage(const QString& fileName);

}  // namespace snipwave
