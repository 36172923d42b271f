#include "preview/PreviewPlayer.h"

#include <QFile>
#include <algorithm>
#include <exception>
#include <limits>

#include "platform/ClockText.h"
#include "platform/Error.h"
#include "platform/FileHelpers.h"
#include "platform/FileNames.h"
#include "platform/MulDiv.h"
#include "preview/PositionScale.h"
#include "preview/PrecisePosition.h"
#include "state/MainState.h"

namespace snipwave {

namespace {
// The reader's seek mode the preview asks for (exact frame position).
constexpr int kSeekExact = 3;
}  // namespace

AudioPlayerEvents PreviewPlayer::PlayerEvents() {
  AudioPlayerEvents events;
  events.OnEndArrayPlay = [this] { AudioPlayer1EndArrayPlay(); };
  events.OnRequestOnLoadArray = [this] { AudioPlayer1RequestOnLoadArray(); };
  events.OnTimer = [this](std::int64_t currentSamples, int, int) { AudioPlayer1Timer(currentSamples); };
  events.OnEndPlay = [this] { AudioPlayer1EndPlay(); };
  return events;
}

void PreviewPlayer::InstallPlayerEvents() {
  if (state_.AudioPlayer1) state_.AudioPlayer1->SetEvents(PlayerEvents());
}

void PreviewPlayer::Play() {
  // An add lets messages through while it probes files with the same reader.
  if (state_.Adding) return;
  // Resuming from a pause is a fresh start from the bar's value.
  if (state_.Paused) {
    state_.Playing = false;
    state_.Paused = false;
  }
  if (state_.Playing || state_.Converting) return;

  ITrackListView& lv = *state_.lv;
  int row = lv.SelectedRow();
  if (row < 0) {
    if (lv.RowCount() == 0) return;
    lv.SelectRow(0);
    row = 0;
  }
  if (row >= kTrackTableSize) return;  // no record behind such a row
  state_.PlayingRow = row;
  const Timerec r = state_.TrackTable[static_cast<std::size_t>(row)];

  const int p = std::clamp(state_.pb.GetPosition(), 0, kBarScale);

  IAudioFile2& reader = *state_.AudioFileRead;
  IAudioPlayer2& player = *state_.AudioPlayer1;
  if (reader.IsOpen()) reader.CloseFile();
  // A name that has become a pipe or a device since it was added would block
  // the window in the open (a missing file is the reader's to report).
  if (PathExists(r.FilePath))
    if (const std::optional<QString> reason = NotARegularFile(r.FilePath)) throw Error(reason->toStdString());
  reader.OpenFile(SystemPath(r.FilePath), 0, 1);

  // A refused stream format does not stop the start: the rest runs and the
  // error is reported afterwards.
  std::exception_ptr formatError;
  try {
    player.SetPcmFormat(static_cast<int>(reader.SampleRate()), reader.Channels());
  } catch (...) {
    formatError = std::current_exception();
  }

  try {
    state_.PlayStartSample = PositionSample(state_, row, p, r);
    reader.SeekSample(state_.PlayStartSample, kSeekExact);
    player.Play();
    SetStatusOfPlayingRow(kStatusPlaying);
    state_.Playing = true;
    feeding_ = true;
    // Two buffers queued before the player's first request.
    Feed();
    Feed();
  } catch (...) {
    if (formatError) std::rethrow_exception(formatError);  // the first cause is the one to show
    throw;
  }
  if (formatError) std::rethrow_exception(formatError);
}

void PreviewPlayer::Stop() {
  if (!state_.Playing) return;

  feeding_ = false;
  IAudioFile2& reader = *state_.AudioFileRead;
  if (reader.IsOpen()) reader.CloseFile();
  state_.AudioPlayer1->Stop();
  SetStatusOfPlayingRow(kStatusStopped);
  state_.pb.SetPosition(0);
  state_.time.SetText(ClockTextFromMs(0));
  state_.Playing = false;
  state_.Paused = false;
}

void PreviewPlayer::PauseToggle() {
  if (!state_.Playing) return;
  if (state_.Paused) {
    if (state_.Adding) return;  // play would refuse and leave the pause half undone
    Play();
    SetStatusOfPlayingRow(kStatusPlaying);
    state_.Paused = false;
  } else {
    HaltPlayer();  // the reader stays open and the bar keeps the place
    SetStatusOfPlayingRow(kStatusPaused);
    state_.Paused = true;
  }
}

void PreviewPlayer::AudioPlayer1Timer(std::int64_t currentSamples) {
  // A timer queued before the preview was halted must not move the bar that
  // stop, pause or a drag has just placed.
  if (!CanFeed()) return;
  IAudioFile2& reader = *state_.AudioFileRead;
  const std::int64_t played = currentSamples + state_.PlayStartSample;
  const std::int64_t length = reader.LengthSamples();
  std::int32_t p = (length > 0 && played >= length)
                       ? kBarScale
                       : static_cast<std::int32_t>(std::clamp<std::int64_t>(MulDiv64(played, kBarScale, length), -1, kBarScale));
  p = std::clamp(p, 0, kBarScale);
  const std::int32_t t = MulDiv(p, reader.DurationMs(), kBarScale);
  state_.pb.SetPosition(p);
  state_.time.SetText(ClockTextFromMs(std::max(t, 0)));
}

void PreviewPlayer::AudioPlayer1EndPlay() {
  // Only the end of this preview's playback ends it; a late end event must
  // not touch a job that started since.
  if (!state_.Playing || !feeding_) return;
  Stop();
}

void PreviewPlayer::Skin1MouseDown(ISkinObject& source) {
  if (source.GetName() != kBarName) return;
  // The sound halts while the bar is held, in every mode; flags, status and
  // reader stay.
  HaltPlayer();
}

void PreviewPlayer::Skin1ScrollTrack(ISkinObject& source, int newPos) {
  if (source.GetName() != kBarName) return;
  const ITrackListView& lv = *state_.lv;
  const int row = lv.SelectedRow();
  if (lv.RowCount() == 0 || row < 0 || row >= kTrackTableSize) return;
  const int p = std::clamp(newPos, 0, kBarScale);
  const std::int32_t t = MulDiv(p, state_.TrackTable[static_cast<std::size_t>(row)].TotalMs, kBarScale);
  state_.time.SetText(ClockTextFromMs(std::max(t, 0)));
}

void PreviewPlayer::Skin1MouseUp(ISkinObject& source) {
  if (source.GetName() != kBarName) return;
  if (!state_.Playing || state_.Paused || state_.Adding) return;
  state_.Playing = false;
  Play();  // from the bar's new value
}

bool PreviewPlayer::CanFeed() const {
  return feeding_ && state_.Playing && !state_.Paused && !state_.Converting && state_.AudioFileRead &&
         state_.AudioPlayer1 && state_.AudioFileRead->IsOpen();
}

void PreviewPlayer::Feed() {
  if (!CanFeed()) return;
  try {
    const SampleBuffer buffer = state_.AudioFileRead->ReadSamples(kFeedFrames);
    state_.AudioPlayer1->QueueBuffer(buffer);
  } catch (...) {
    // One fault, one message: the player keeps asking for buffers (and its
    // timer keeps firing) while the hook's box is open, and every further
    // feed would fail the same way. Nothing more is fed until play starts
    // afresh; the hook halts the player.
    feeding_ = false;
    throw;
  }  // the buffer is released as soon as the player has taken it
}

void PreviewPlayer::HaltPlayer() {
  feeding_ = false;
  if (state_.AudioPlayer1) state_.AudioPlayer1->Stop();
}

void PreviewPlayer::SetStatusOfPlayingRow(const QString& text) {
  ITrackListView& lv = *state_.lv;
  if (state_.PlayingRow >= 0 && state_.PlayingRow < lv.RowCount()) lv.SetCellText(state_.PlayingRow, kStatusCell, text);
}

}  // namespace snipwave
