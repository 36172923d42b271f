#pragma once

#include <cstdint>

namespace snipwave {

struct MainState;
class PreviewPlayer;

// The play position moved to an exact frame (the waveform, the position
// keys), in every preview state, the way a drag of the position bar moves
// it: the sound halts, "pb" and "time" show the new place, and a running
// preview restarts from it. The exact frame is kept beside the bar (see
// PositionSample), so a following play or mark uses it, not the bar's
// 1/20000 step. Needs a row (PlayingRow while a preview runs or is paused,
// else the selected one) and a bound "pb"; refused silently otherwise and
// while an add lets messages through.
class PositionMoves {
 public:
  PositionMoves(MainState& state, PreviewPlayer& preview) : state_(state), preview_(preview) {}

  // The row the position belongs to, or -1.
  int Row() const;
  // The frame the position stands for now (0 without a row).
  std::int64_t CurrentSample() const;

  void MoveTo(std::int64_t sample);            // press + release at once
  void MoveBy(std::int64_t frames) { MoveTo(CurrentSample() + frames); }
  void MoveByMs(std::int32_t ms);              // in the row's own time scale
  void ToBegin();                              // the row's begin mark
  void ToEnd();                                // the row's end mark

  // A drag in three steps, as on the bar: the press halts the sound, each
  // move shows the place, the release restarts a running preview.
  void Press(std::int64_t sample);
  void Drag(std::int64_t sample);
  void Release();

 private:
  bool Place(std::int64_t sample);  // false when refused

  MainState& state_;
  PreviewPlayer& preview_;
};

}  // namespace snipwave
