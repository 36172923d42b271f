#include "cli/ConsoleProgress.h"

#include <algorithm>

namespace snipwave {

namespace {

constexpr std::int64_t kShowEveryMs = 250;

QString Clock(std::int64_t ms) {
  const std::int64_t seconds = ms / 1000;
  if (seconds >= 3600)
    return QString("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QChar('0'))
        .arg(seconds % 60, 2, 10, QChar('0'));
  return QString("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QChar('0'));
}

}  // namespace

QString ProgressLineText(double done, int rowsDone, int rows, std::int64_t elapsedMs) {
  done = std::clamp(done, 0.0, 1.0);
  QString line = QString("%1%  %2/%3 rows  %4 elapsed")
                     .arg(static_cast<int>(done * 100))
                     .arg(rowsDone)
                     .arg(rows)
                     .arg(Clock(elapsedMs));
  if (done > 0 && done < 1) {
    const auto left = static_cast<std::int64_t>(static_cast<double>(elapsedMs) * (1 - done) / done);
    line += "  " + Clock(left) + " left";
  }
  return line;
}

ProgressLine::ProgressLine(std::FILE* terminal) : terminal_(terminal) { clock_.start(); }

ProgressLine::~ProgressLine() { Clear(); }

void ProgressLine::Show(double done, int rowsDone, int rows) {
  const std::int64_t now = clock_.elapsed();
  if (now - lastShownMs_ < kShowEveryMs) return;
  lastShownMs_ = now;
  const QByteArray line = ProgressLineText(done, rowsDone, rows, now).toUtf8();
  std::fprintf(terminal_, "\r\033[K%s", line.constData());
  std::fflush(terminal_);
  shown_ = true;
}

void ProgressLine::Clear() {
  if (!shown_) return;
  std::fputs("\r\033[K", terminal_);
  std::fflush(terminal_);
  shown_ = false;
  lastShownMs_ = -1000;
}

}  // namespace snipwave
