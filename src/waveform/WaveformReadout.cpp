#include "waveform/WaveformReadout.h"

#include <algorithm>

#include "platform/MulDiv.h"

namespace snipwave {

QString ReadoutClock(std::int64_t ms) {
  ms = std::max<std::int64_t>(ms, 0);
  const std::int64_t s = ms / 1000;
  return QString("%1:%2:%3.%4")
      .arg(s / 3600)
      .arg(s / 60 % 60, 2, 10, QChar('0'))
      .arg(s % 60, 2, 10, QChar('0'))
      .arg(ms % 1000, 3, 10, QChar('0'));
}

std::int64_t ReadoutMs(std::int64_t frames, const ReadoutFrames& f) {
  if (f.totalFrames <= 0) return 0;
  return std::max<std::int64_t>(0, MulDiv64(frames, f.totalMs, f.totalFrames));
}

namespace {

QString Readout(const QString& form, const ReadoutFrames& f) {
  const std::int64_t length = std::max<std::int64_t>(0, f.end - f.begin);
  return form
      .arg(ReadoutClock(ReadoutMs(f.position, f)), ReadoutClock(ReadoutMs(f.begin, f)),
           ReadoutClock(ReadoutMs(f.end, f)), ReadoutClock(ReadoutMs(length, f)))
      .arg(length);
}

}  // namespace

QString ReadoutText(const ReadoutFrames& f) {
  return Readout(QStringLiteral("Position %1   Begin %2   End %3   Length %4 (%5 frames)"), f);
}

QString ReadoutShortText(const ReadoutFrames& f) {
  return Readout(QStringLiteral("Pos %1 | %2 – %3 | %4 (%5 frames)"), f);
}

}  // namespace snipwave
