#include "shell/SilenceSplitCommand.h"

#include <QTimer>
#include <algorithm>
#include <cmath>

#include "convert/SilenceSettings.h"
#include "platform/HookedSlot.h"
#include "preview/RangeMarking.h"
#include "preview/RowSplit.h"

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

SilenceSplitCommand::SilenceSplitCommand(MainState& state, QObject* parent)
    : QObject(parent), state_(state), retry_(new QTimer(this)) {
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
  running_ = true;
  ShowProgress(state_, 0);
  scan_ = new SilenceScan(record_.FilePath, record_.BeginSample, record_.EndSample, rule, this);
  scan_->Progressed = [this](double share) { HookedSlot([&] { OnProgress(share); })(); };
  scan_->Finished = [this](const SilenceScan::Outcome& outcome) { HookedSlot([&] { OnFinished(outcome); })(); };
  scan_->Start();
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
  // Never deleted here: this may run inside one of the scan's own callbacks.
  if (scan_) scan_->StopAndDeleteWhenDone();
  scan_.clear();
}

void SilenceSplitCommand::OnProgress(double share) {
  if (FindRow() < 0) {
    Stop();
    return;
  }
  ShowProgress(state_, static_cast<int>(std::lround(std::clamp(share, 0.0, 1.0) * 10000)));
}

void SilenceSplitCommand::OnFinished(const SilenceScan::Outcome& outcome) {
  if (scan_) scan_->StopAndDeleteWhenDone();
  scan_.clear();
  if (!outcome.error.isEmpty()) {
    Stop();
    state_.Dialogs->ShowInformation(outcome.error);
    return;
  }
  points_ = outcome.points;
  ApplyWhenListIsFree();
}

void SilenceSplitCommand::ApplyWhenListIsFree() {
  if (!running_) return;
  // An add or a job is letting messages through: rows may not change under it.
  if (state_.Adding || state_.Converting) {
    retry_->start();
    return;
  }
  const int row = FindRow();
  Stop();
  if (row < 0) return;
  if (points_.empty()) state_.Dialogs->ShowInformation(NoSilenceMessage(name_));
  else SplitRowAtPoints(state_, row, points_);
}

int SilenceSplitCommand::FindRow() const {
  const int count = std::min(state_.TrackCount, kTrackTableSize);
  auto matches = [this](int row) { return SameRange(state_.TrackTable[static_cast<std::size_t>(row)], record_); };
  if (row_ < count && matches(row_)) return row_;
  for (int row = 0; row < count; ++row)
    if (matches(row)) return row;
  return -1;
}

}  // namespace snipwave
