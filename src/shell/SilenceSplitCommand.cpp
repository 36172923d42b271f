#include "shell/SilenceSplitCommand.h"

#include <QTimer>
#include <algorithm>
#include <cmath>

#include "convert/SilenceSettings.h"
#include "platform/HookedSlot.h"
#include "preview/RangeMarking.h"
#include "preview/RowSplit.h"
#include "settings/SilenceValues.h"

namespace snipwave {

namespace {

// How often a result waiting for an add or a job to end looks again.
constexpr int kRetryMs = 200;

bool SameRange(const Timerec& a, const Timerec& b) {
  return a.FilePath == b.FilePath && a.BeginSample == b.BeginSample && a.EndSample == b.EndSample &&
         a.TotalSamples == b.TotalSamples;
}

}  // namespace

QString NoSilenceMessage(const QString& fileName) {
  return QStringLiteral("No silence was found inside the range of %1; the row stays as it is.").arg(fileName);
}

QString SilenceSearchBusyMessage(const QString& fileName) {
  return QStringLiteral("Silences are being found in %1. Please wait until that ends, or stop it first.")
      .arg(fileName);
}

SilenceSplitCommand::SilenceSplitCommand(MainState& state, ISilenceSplitDialog* dialog, QObject* parent)
    : QObject(parent), state_(state), dialog_(dialog), retry_(new QTimer(this)) {
  retry_->setSingleShot(true);
  retry_->setInterval(kRetryMs);
  connect(retry_, &QTimer::timeout, this, [this] { HookedSlot([this] { ApplyWhenListIsFree(); })(); });
}

// The scans are children: their destruction stops and waits for their workers.
SilenceSplitCommand::~SilenceSplitCommand() = default;

void SilenceSplitCommand::Start() {
  if (RefuseWhileRunning()) return;
  const int row = RangeMarking(state_).MarkedRow();
  if (row < 0 || row >= state_.TrackCount) return;

  SilenceRule rule;
  if (state_.SettingsFile) {
    QString error;
    const std::optional<SilenceRule> read = ReadSilenceRule(*state_.SettingsFile, error);
    if (!read) {
      state_.Dialogs->ShowInformation(error);
      return;
    }
    rule = *read;
  }

  row_ = row;
  record_ = state_.TrackTable[static_cast<std::size_t>(row)];
  name_ = state_.lv->RowTexts(row).caption;
  points_.clear();
  error_.clear();
  scanDone_ = false;
  running_ = true;
  if (!dialog_) {
    Replace(rule);
    return;
  }

  std::optional<SilenceRule> chosen;
  choosing_ = true;
  struct Closed {  // also when the dialog ends by an exception
    SilenceSplitCommand& command;
    ~Closed() {
      command.choosing_ = false;
      command.changed_ = {};
      command.ShowPreview(false);
    }
  };
  {
    Closed closed{*this};
    try {
      chosen = dialog_->Choose(name_, rule, *this);
    } catch (...) {
      End();
      throw;
    }
    if (!chosen) End();
  }
  // Cancelled, or ended meanwhile (stop, the window closing): the row stays.
  if (!chosen || !running_) return;

  // The values are kept for the next split and the settings dialog; a
  // failure to keep them is told, and the split goes on.
  QString notKept;
  if (state_.SettingsFile) {
    try {
      WriteSilenceValues(*state_.SettingsFile, SilenceValues{chosen->thresholdDb, chosen->minSeconds});
    } catch (const std::exception& e) {
      notKept = QString::fromUtf8(e.what());
    }
  }
  Replace(*chosen);
  if (!notKept.isEmpty()) state_.Dialogs->ShowInformation(notKept);
}

void SilenceSplitCommand::Replace(const SilenceRule& rule) {
  if (scanDone_ && scanRule_ == rule) {
    FinishFoundScan();  // found while the dialog was open
    return;
  }
  if (!scan_ || !(scanRule_ == rule)) StartScan(rule);
  ShowProgress(state_, static_cast<int>(std::lround(share_ * 10000)));
}

void SilenceSplitCommand::StartScan(const SilenceRule& rule) {
  // Never deleted here: this may run inside one of the scan's own callbacks.
  if (scan_) scan_->StopAndDeleteWhenDone();
  scanRule_ = rule;
  scanDone_ = false;
  share_ = 0;
  points_.clear();
  error_.clear();
  scan_ = new SilenceScan(record_.FilePath, record_.BeginSample, record_.EndSample, rule, this);
  scan_->Progressed = [this](double share) { HookedSlot([&] { OnProgress(share); })(); };
  scan_->Finished = [this](const SilenceScan::Outcome& outcome) { HookedSlot([&] { OnFinished(outcome); })(); };
  scan_->Start();
}

void SilenceSplitCommand::Find(const SilenceRule& rule) {
  if (!running_ || (scanRule_ == rule && (scan_ || scanDone_))) return;
  StartScan(rule);
  ShowPreview(false);
  Changed();
}

QString SilenceSplitCommand::Status() const {
  if (!error_.isEmpty()) return QStringLiteral("The silences cannot be found: %1").arg(error_);
  if (!scanDone_) return QStringLiteral("Finding the silences\u2026 %1 %").arg(std::lround(share_ * 100));
  if (points_.empty()) return QStringLiteral("No silence inside the range: the row would stay as it is.");
  return QStringLiteral("The row becomes %1 rows, split at the lines on the waveform.").arg(points_.size() + 1);
}

void SilenceSplitCommand::Changed() {
  if (changed_) changed_();
}

void SilenceSplitCommand::ShowPreview(bool show) {
  const int row = show ? FindRow() : -1;
  state_.SplitPreviewRow = row;
  state_.SplitPreview = row >= 0 ? points_ : std::vector<std::int64_t>{};
  if (state_.MarksChanged) state_.MarksChanged(std::max(row, row_));
}

void SilenceSplitCommand::Stop() {
  if (!running_) return;
  End();
  ShowProgress(state_, 0);
}

bool SilenceSplitCommand::RefuseWhileRunning() {
  if (!running_) return false;
  state_.Dialogs->ShowInformation(SilenceSearchBusyMessage(name_));
  return true;
}

void SilenceSplitCommand::End() {
  running_ = false;
  retry_->stop();
  if (scan_) scan_->StopAndDeleteWhenDone();
  scan_.clear();
  scanDone_ = false;
}

void SilenceSplitCommand::OnProgress(double share) {
  share_ = std::clamp(share, 0.0, 1.0);
  if (choosing_) {
    Changed();
    return;
  }
  if (FindRow() < 0) {
    Stop();
    return;
  }
  ShowProgress(state_, static_cast<int>(std::lround(share_ * 10000)));
}

void SilenceSplitCommand::OnFinished(const SilenceScan::Outcome& outcome) {
  if (scan_) scan_->StopAndDeleteWhenDone();
  scan_.clear();
  scanDone_ = true;
  share_ = 1;
  points_ = outcome.points;
  error_ = outcome.error;
  if (choosing_) {
    ShowPreview(error_.isEmpty());
    Changed();
    return;
  }
  FinishFoundScan();
}

void SilenceSplitCommand::FinishFoundScan() {
  if (!error_.isEmpty()) {
    const QString error = error_;
    Stop();
    state_.Dialogs->ShowInformation(error);
    return;
  }
  ApplyWhenListIsFree();
}

void SilenceSplitCommand::ApplyWhenListIsFree() {
  if (!running_) return;
  // An add or a job is letting messages through: rows may not change under it.
  if (state_.ListLocked()) {
    retry_->start();
    return;
  }
  const int row = FindRow();
  const std::vector<std::int64_t> points = points_;
  Stop();
  if (row < 0) return;
  if (points.empty()) state_.Dialogs->ShowInformation(NoSilenceMessage(name_));
  else if (RecordEdit) RecordEdit(QStringLiteral("Split at silences"), [&] { SplitRowAtPoints(state_, row, points); });
  else SplitRowAtPoints(state_, row, points);
}

int SilenceSplitCommand::FindRow() const {
  const int count = std::min(state_.TrackCount, kTrackTableSize);
  auto matches = [this](int row) { return SameRange(state_.TrackTable[static_cast<std::size_t>(row)], record_); };
  if (row_ >= 0 && row_ < count && matches(row_)) return row_;
  for (int row = 0; row < count; ++row)
    if (matches(row)) return row;
  return -1;
}

}  // namespace snipwave
