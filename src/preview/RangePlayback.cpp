#include "preview/RangePlayback.h"

#include <algorithm>

#include "preview/PositionMoves.h"
#include "preview/PreviewPlayer.h"
#include "state/MainState.h"

namespace snipwave {

void RangePlayback::PlayRange(PreviewPlayer& preview, PositionMoves& moves) {
  if (state_.ListLocked() || !state_.lv || state_.lv->RowCount() == 0) return;
  if (state_.Playing && state_.pb.object) {
    // Halt the running preview without the stop's return to 0: a fresh start follows.
    preview.Skin1MouseDown(*state_.pb.object);
    state_.Playing = false;
    state_.Paused = false;
  }
  if (state_.lv->SelectedRow() < 0) state_.lv->SelectRow(0);
  const int row = state_.lv->SelectedRow();
  if (row < 0 || row >= kTrackTableSize) return;
  moves.MoveTo(state_.TrackTable[static_cast<std::size_t>(row)].BeginSample);
  rangeMode_ = true;
  rangeRow_ = row;
  preview.Play();
  if (!state_.Playing) EndRangeMode();
}

void RangePlayback::Play() {
  budget_ = -1;
  if (rangeMode_ && state_.PlayingRow == rangeRow_ && rangeRow_ >= 0 && rangeRow_ < kTrackTableSize)
    budget_ = std::max<std::int64_t>(0, state_.TrackTable[static_cast<std::size_t>(rangeRow_)].EndSample -
                                            state_.PlayStartSample);
  player_.Play();
}

void RangePlayback::SetPcmFormat(int sampleRate, int channels) {
  channels_ = std::max(channels, 1);
  player_.SetPcmFormat(sampleRate, channels);
}

void RangePlayback::QueueBuffer(const SampleBuffer& buffer) {
  if (budget_ < 0) {
    player_.QueueBuffer(buffer);
    return;
  }
  const auto frames = static_cast<std::int64_t>(buffer.size()) / channels_;
  if (frames <= budget_) {
    budget_ -= frames;
    player_.QueueBuffer(buffer);
    return;
  }
  // The end mark falls inside this buffer: the rest is not played.
  const SampleBuffer head(buffer.begin(), buffer.begin() + budget_ * channels_);
  budget_ = 0;
  player_.QueueBuffer(head);
}

}  // namespace snipwave
