#include "preview/RowSplit.h"

#include <algorithm>

#include "preview/PositionScale.h"
#include "preview/PrecisePosition.h"
#include "preview/RangeMarking.h"
#include "state/MainState.h"
#include "state/RangeTotal.h"
#include "state/RowReadouts.h"

namespace snipwave {

namespace {

// Same text as the add's refusal of a full list, for one row.
QString ListFullMessage() {
  return QStringLiteral("1 of the chosen files was not added because the list holds at most %1 files.")
      .arg(kTrackTableSize);
}

constexpr const char* kUnconverted = "unconverted";

QString PartsDoNotFitMessage(const QString& fileName, std::size_t parts) {
  return QStringLiteral("%1 would become %2 rows, but the list holds at most %3 files; the row stays as it is.")
      .arg(fileName)
      .arg(parts)
      .arg(kTrackTableSize);
}

}  // namespace

bool SplitRowAtPosition(MainState& state) {
  const int row = RangeMarking(state).MarkedRow();
  if (row < 0) return false;
  const int p = std::clamp(state.pb.GetPosition(), 0, kBarScale);
  return SplitRowAt(state, row, PositionSample(state, row, p, state.TrackTable[static_cast<std::size_t>(row)]));
}

bool SplitRowAt(MainState& state, int row, std::int64_t sample) {
  if (row < 0 || row >= state.TrackCount) return false;
  const Timerec& record = state.TrackTable[static_cast<std::size_t>(row)];
  if (sample <= record.BeginSample || sample >= record.EndSample) {
    state.Dialogs->ShowInformation(kSplitOutsideRange);
    return false;
  }
  if (state.TrackCount >= kTrackTableSize) {
    state.Dialogs->ShowInformation(ListFullMessage());
    return false;
  }

  // Every row after `row` moves down by one, texts and records together, so
  // that record i still describes row i; the selection and the indexes kept
  // beside the list stay on their tracks.
  const int selected = state.lv->SelectedRow();
  const int last = state.TrackCount - 1;
  state.lv->AppendRow(state.lv->RowTexts(last));
  for (int i = last + 1; i > row + 1; --i) {
    state.lv->SetRowTexts(i, state.lv->RowTexts(i - 1));
    state.TrackTable[static_cast<std::size_t>(i)] = state.TrackTable[static_cast<std::size_t>(i - 1)];
  }
  ++state.TrackCount;
  FollowRowsInserted(state, row + 1, 1);
  if (selected > row) state.lv->SelectRow(selected + 1);

  Timerec& first = state.TrackTable[static_cast<std::size_t>(row)];
  Timerec& second = state.TrackTable[static_cast<std::size_t>(row + 1)];
  second = first;
  first.EndSample = sample;
  second.BeginSample = sample;
  TrackRowTexts texts = state.lv->RowTexts(row);
  texts.cells[kStatusCell] = kUnconverted;
  state.lv->SetRowTexts(row + 1, texts);
  ShowRowRange(state, row);
  ShowRowRange(state, row + 1);
  ShowRangeTotal(state);
  // The first part keeps the selection when it had it: its end is new.
  ShowRowReadouts(state);
  if (state.MarksChanged) {
    state.MarksChanged(row);
    state.MarksChanged(row + 1);
  }
  if (state.RowsChanged) state.RowsChanged();
  return true;
}

bool SplitRowAtPoints(MainState& state, int row, const std::vector<std::int64_t>& points) {
  if (row < 0 || row >= state.TrackCount || points.empty()) return false;
  if (state.TrackCount + static_cast<std::int64_t>(points.size()) > kTrackTableSize) {
    state.Dialogs->ShowInformation(PartsDoNotFitMessage(state.lv->RowTexts(row).caption, points.size() + 1));
    return false;
  }
  const Timerec& record = state.TrackTable[static_cast<std::size_t>(row)];
  for (std::size_t i = 0; i < points.size(); ++i) {
    const bool ascending = i == 0 || points[i] > points[i - 1];
    if (!ascending || points[i] <= record.BeginSample || points[i] >= record.EndSample) return false;
  }
  // From the last point back, so the row keeps its index and each new part
  // lands right after it, in order.
  for (auto it = points.rbegin(); it != points.rend(); ++it) SplitRowAt(state, row, *it);
  return true;
}

}  // namespace snipwave
