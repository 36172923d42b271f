#pragma once

#include <QString>
#include <cstdint>

namespace snipwave {

// The exact values the waveform's header shows beside the window's clock
// texts (which keep their whole seconds): frames of one file and the file's
// length in frames and milliseconds, which give every frame its time.
struct ReadoutFrames {
  std::int64_t position = 0;
  std::int64_t begin = 0;
  std::int64_t end = 0;
  std::int64_t totalFrames = 0;
  std::int32_t totalMs = 0;
};

// "h:mm:ss.mmm": hours without padding (as many digits as they need).
QString ReadoutClock(std::int64_t ms);
// A frame's time in the file, rounded to the nearest millisecond (0 for a
// file without frames).
std::int64_t ReadoutMs(std::int64_t frames, const ReadoutFrames& f);
// "Position h:mm:ss.mmm   Begin …   End …   Length … (N frames)"; the
// length is that of the frames between the marks, not the difference of
// the two rounded times.
QString ReadoutText(const ReadoutFrames& f);
// The same values for a narrow view: "Pos h:mm:ss.mmm | begin – end | length (N frames)".
QString ReadoutShortText(const ReadoutFrames& f);

}  // namespace snipwave
