#include "preview/RangeMarking.h"

#include <algorithm>
#include <exception>

#include "platform/ClockText.h"
#include "platform/FileNames.h"
#include "platform/MulDiv.h"
#include "preview/PositionScale.h"
#include "preview/PrecisePosition.h"
#include "state/RangeTotal.h"
#include "preview/ZeroCrossing.h"
#include "settings/SettingsKeys.h"
#include "state/MainState.h"

namespace snipwave {

namespace {
constexpr std::int32_t kMaxSnapWindowMs = 1000;

// A mark in samples shown as milliseconds of the row's file.
std::int32_t MarkMs(std::int64_t sample, const Timerec& r) {
  return static_cast<std::int32_t>(MulDiv64(sample, r.TotalMs, r.TotalSamples));  // at most TotalMs
}

QString RangeText(std::int32_t beginMs, std::int32_t endMs) {
  return "  " + ClockTextFromMs(beginMs) + " - " + ClockTextFromMs(endMs);
}
}  // namespace

void ShowRowRange(MainState& state, int row) {
  Timerec& r = state.TrackTable[static_cast<std::size_t>(row)];
  const std::int32_t beginMs = MarkMs(r.BeginSample, r);
  const std::int32_t endMs = MarkMs(r.EndSample, r);
  state.lv->SetCellText(row, kRangeCell, RangeText(beginMs, endMs));
  // Whole seconds of each mark, truncated, then the difference: marks at 1.9 s
  // and 3.1 s count 2 seconds.
  r.RangeSeconds = endMs / 1000 - beginMs / 1000;
  state.lv->SetCellText(row, kLengthCell, "  " + ClockTextFromSeconds(r.RangeSeconds));
}

int RangeMarking::MarkedRow() const {
  if (state_.ListLocked()) return -1;
  const int selected = state_.lv->SelectedRow();
  if (selected < 0) return -1;
  const int row = state_.Playing ? state_.PlayingRow : selected;
  if (row < 0 || row >= kTrackTableSize || row >= state_.lv->RowCount()) return -1;
  return row;
}

void RangeMarking::SetBegin() { SetMark(Mark::Begin); }
void RangeMarking::SetEnd() { SetMark(Mark::End); }

void RangeMarking::SetMark(Mark mark) {
  const int row = MarkedRow();
  if (row < 0) return;
  const int p = std::clamp(state_.pb.GetPosition(), 0, kBarScale);
  const Timerec& r = state_.TrackTable[static_cast<std::size_t>(row)];
  ApplyMark(mark, row, Snapped(row, PositionSample(state_, row, p, r)));
}

bool RangeMarking::SetMarkSample(Mark mark, std::int64_t sample, Snap snap) {
  const int row = MarkedRow();
  if (row < 0) return false;
  const Timerec& r = state_.TrackTable[static_cast<std::size_t>(row)];
  sample = std::clamp<std::int64_t>(sample, 0, std::max<std::int64_t>(r.TotalSamples, 0));
  if (snap == Snap::Allowed) sample = std::clamp<std::int64_t>(Snapped(row, sample), 0, std::max<std::int64_t>(r.TotalSamples, 0));
  return ApplyMark(mark, row, sample);
}

std::int64_t RangeMarking::Snapped(int row, std::int64_t sample) const {
  if (!state_.AudioFileMarks || !state_.SettingsFile) return sample;
  if (!state_.SettingsFile->ReadBool(settings::section::kLevel, settings::key::kSnapToZero, false)) return sample;
  std::int32_t windowMs = state_.SettingsFile->ReadInteger(settings::section::kLevel, settings::key::kSnapWindowMs,
                                                                  settings::kDefaultSnapWindowMs);
  // Beyond a second the "nearest crossing" is no refinement of the mark any more.
  if (windowMs <= 0) return sample;
  windowMs = std::min(windowMs, kMaxSnapWindowMs);
  const Timerec& r = state_.TrackTable[static_cast<std::size_t>(row)];
  IAudioFile2& reader = *state_.AudioFileMarks;
  try {
    if (reader.IsOpen()) reader.CloseFile();
    reader.OpenFile(SystemPath(r.FilePath), 0, 1);
    const std::int64_t window = static_cast<std::int64_t>(reader.SampleRate()) * windowMs / 1000;
    const std::int64_t snapped = NearestZeroCrossing(reader, sample, window);
    reader.CloseFile();
    return snapped;
  } catch (const std::exception&) {
    // The mark is still the user's choice; only its refinement is lost.
    if (reader.IsOpen()) reader.CloseFile();
    return sample;
  }
}

// The checks and refreshes every road to a mark shares: the bar's 1/20000
// steps and the exact frames of the waveform and of typed times.
bool RangeMarking::ApplyMark(Mark mark, int row, std::int64_t sample) {
  Timerec& r = state_.TrackTable[static_cast<std::size_t>(row)];
  if (mark == Mark::Begin) {
    if (sample > r.EndSample) {
      state_.Dialogs->ShowInformation(kBeginAfterEnd);
      return false;
    }
    r.BeginSample = sample;
  } else {
    if (sample < r.BeginSample) {
      state_.Dialogs->ShowInformation(kEndBeforeBegin);
      return false;
    }
    r.EndSample = sample;
  }

  const std::int32_t beginMs = MarkMs(r.BeginSample, r);
  const std::int32_t endMs = MarkMs(r.EndSample, r);
  if (mark == Mark::Begin) state_.begin.SetText(ClockTextFromMs(beginMs));
  else state_.end.SetText(ClockTextFromMs(endMs));
  ShowRowRange(state_, row);
  ShowRangeTotal(state_);
  if (state_.MarksChanged) state_.MarksChanged(row);
  return true;
}

void RangeMarking::Nudge(int direction) {
  if (state_.Playing) return;
  const int row = state_.lv->SelectedRow();
  if (row < 0 || row >= kTrackTableSize || row >= state_.lv->RowCount()) return;
  const Timerec& r = state_.TrackTable[static_cast<std::size_t>(row)];
  // A file without duration has no second to step by (MulDiv would give -1
  // and turn a forward step into a backward one).
  if (r.TotalMs <= 0) return;
  const std::int32_t step = MulDiv(1000, kBarScale, r.TotalMs);  // one second in bar units, rounded
  const std::int64_t p = state_.pb.GetPosition() + static_cast<std::int64_t>(direction) * step;
  if (p > kBarScale || p < 1) return;
  const auto bar = static_cast<std::int32_t>(p);
  state_.pb.SetPosition(bar);
  state_.time.SetText(ClockTextFromMs(MulDiv(bar, r.TotalMs, kBarScale)));
}

}  // namespace snipwave
