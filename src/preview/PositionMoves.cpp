#include "preview/PositionMoves.h"

#include <algorithm>

#include "preview/PrecisePosition.h"
#include "preview/PreviewPlayer.h"

namespace snipwave {

int PositionMoves::Row() const {
  if (!state_.lv) return -1;
  const int row = state_.Playing ? state_.PlayingRow : state_.lv->SelectedRow();
  if (row < 0 || row >= state_.lv->RowCount() || row >= kTrackTableSize) return -1;
  return row;
}

std::int64_t PositionMoves::CurrentSample() const {
  const int row = Row();
  if (row < 0) return 0;
  const Timerec& r = state_.TrackTable[static_cast<std::size_t>(row)];
  return PositionSample(state_, row, std::clamp(state_.pb.GetPosition(), 0, kBarScale), r);
}

void PositionMoves::MoveByMs(std::int32_t ms) {
  const int row = Row();
  if (row < 0) return;
  const Timerec& r = state_.TrackTable[static_cast<std::size_t>(row)];
  if (r.TotalMs <= 0) return;
  MoveBy(MulDiv64(ms, r.TotalSamples, r.TotalMs));
}

void PositionMoves::ToBegin() {
  const int row = Row();
  if (row >= 0) MoveTo(state_.TrackTable[static_cast<std::size_t>(row)].BeginSample);
}

void PositionMoves::ToEnd() {
  const int row = Row();
  if (row >= 0) MoveTo(state_.TrackTable[static_cast<std::size_t>(row)].EndSample);
}

bool PositionMoves::Place(std::int64_t sample) {
  const int row = Row();
  if (row < 0 || !state_.pb.object || state_.Adding) return false;
  const Timerec& r = state_.TrackTable[static_cast<std::size_t>(row)];
  const std::int64_t exact = std::clamp<std::int64_t>(sample, 0, std::max<std::int64_t>(r.TotalSamples, 0));
  const int p = BarOf(exact, r);
  state_.pb.SetPosition(p);
  state_.PreciseSample = exact;
  state_.PreciseBar = p;
  state_.PreciseRow = row;
  preview_.Skin1ScrollTrack(*state_.pb.object, p);  // "time" follows, as during a drag
  return true;
}

void PositionMoves::Press(std::int64_t sample) {
  if (Row() < 0 || !state_.pb.object || state_.Adding) return;
  preview_.Skin1MouseDown(*state_.pb.object);
  Place(sample);
}

void PositionMoves::Drag(std::int64_t sample) { Place(sample); }

void PositionMoves::Release() {
  if (state_.pb.object) preview_.Skin1MouseUp(*state_.pb.object);
}

void PositionMoves::MoveTo(std::int64_t sample) {
  if (Row() < 0 || !state_.pb.object || state_.Adding) return;
  Press(sample);
  Release();
}

}  // namespace snipwave
