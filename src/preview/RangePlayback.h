#pragma once

#include <cstdint>

#include "components/audio/AudioInterfaces.h"

namespace snipwave {

struct MainState;
class PositionMoves;
class PreviewPlayer;

// "Play the marked range": the preview starts at the row's begin mark and
// ends exactly at its end mark. It stands between the preview and the real
// player: while a range play is on, each start of the player (also a resume
// or a restart after a drag) gets a budget of end mark - PlayStartSample
// frames, and queued buffers are cut to it, so the player runs dry at the end
// mark and the preview comes to rest as at the end of a file.
class RangePlayback final : public IAudioPlayer2 {
 public:
  RangePlayback(MainState& state, IAudioPlayer2& player) : state_(state), player_(player) {}

  // Refused as play is (converting, an add under way, an empty list). A
  // running or paused preview is restarted at the begin mark.
  void PlayRange(PreviewPlayer& preview, PositionMoves& moves);
  // An ordinary play or a stop ends the range mode.
  void EndRangeMode() { rangeMode_ = false; budget_ = -1; }
  bool RangeMode() const { return rangeMode_; }

  // IAudioPlayer2, forwarded to the real player.
  void Play() override;
  void Stop() override { player_.Stop(); }
  void QueueBuffer(const SampleBuffer& buffer) override;
  void SetPcmFormat(int sampleRate, int channels) override;
  void SetEvents(AudioPlayerEvents events) override { player_.SetEvents(std::move(events)); }

 private:
  MainState& state_;
  IAudioPlayer2& player_;
  bool rangeMode_ = false;
  int rangeRow_ = -1;
  int channels_ = 1;
  std::int64_t budget_ = -1;  // frames still to queue; -1: no limit
};

}  // namespace snipwave
