#pragma once

#include <QString>
#include <cstdint>

namespace snipwave {

struct MainState;

// Begin and end marks of a row, taken from the position bar "pb" (0..20000)
// and stored in the row's record in sample frames: mark = MulDiv(p,
// TotalSamples, 20000). Invariant: BeginSample <= EndSample (equal allowed).
// Setting a mark rewrites the row's range and length cells, the mark's skin
// text ("begin" or "end"), RangeSeconds and the total in "alltime".
// With [Level] SnapToZero=1, a mark from the bar, a key or a waveform handle
// moves to the nearest zero crossing (channels summed; see
// NearestZeroCrossing) within SnapWindowMs either side; a file that cannot
// be read for it keeps the mark where it was set.
// Refused commands are silent; a mark on the wrong side of the other one is
// reported through state.Dialogs and changes nothing.
class RangeMarking {
 public:
  static inline const QString kBeginAfterEnd = QStringLiteral("Start-time must not be larger than end-time.");
  static inline const QString kEndBeforeBegin = QStringLiteral("End-time must not be smaller than start-time.");

  explicit RangeMarking(MainState& state) : state_(state) {}

  // "begintime" / "endtime": on PlayingRow while a preview runs or is paused,
  // else on the selected row. Refused while converting or adding, and when no
  // row is selected.
  void SetBegin();
  void SetEnd();

  // The same marks at sample precision (a handle dragged on the waveform, a
  // typed time): the same row, refusals, checks, messages and refreshes as
  // SetBegin / SetEnd, with the mark given in frames of the row's file
  // (clamped to 0..TotalSamples). True when the mark was set.
  // With Snap::Allowed (a handle dropped on the waveform) the mark moves to
  // the nearest zero crossing like a mark from the bar; a typed time is exact.
  enum class Snap { Never, Allowed };
  bool SetBeginSample(std::int64_t sample, Snap snap = Snap::Never) { return SetMarkSample(Mark::Begin, sample, snap); }
  bool SetEndSample(std::int64_t sample, Snap snap = Snap::Never) { return SetMarkSample(Mark::End, sample, snap); }
  // The row SetBegin / SetEnd would mark now, or -1 when they are refused.
  int MarkedRow() const;

  // "uptime" / "downtime": move the bar one second (rounded to bar units) and
  // show the place in "time"; the marks are not touched. Refused while
  // Playing and when no row is selected. A step that would pass 20000 or
  // reach 0 does nothing at all (no clamping).
  void NudgeForward() { Nudge(+1); }
  void NudgeBack() { Nudge(-1); }

 private:
  enum class Mark { Begin, End };
  void SetMark(Mark mark);
  bool SetMarkSample(Mark mark, std::int64_t sample, Snap snap);
  // `sample` moved to the nearest zero crossing when [Level] SnapToZero is on
  // and the state has a reader for it; unchanged otherwise.
  std::int64_t Snapped(int row, std::int64_t sample) const;
  bool ApplyMark(Mark mark, int row, std::int64_t sample);
  void Nudge(int direction);

  MainState& state_;
};

// Rewrites the range and length cells of a row, and its RangeSeconds, from
// the marks of its record.
void ShowRowRange(MainState& state, int row);

}  // namespace snipwave
