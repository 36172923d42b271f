#include "cli/ConsoleProgress.h"

#include <algorithm>

#include "convert/ParallelCut.h"
#include "state/MainState.h"

namespace snipwave {

namespace {

constexpr std::int64_t kShowEveryMs = 250;
constexpr int kProgressBarFullWidth = 523;  // the progress display's width at 100 %

QString Clock(std::int64_t ms) {
  const std::int64_t seconds = ms / 1000;
  if (seconds >= 3600)
    return QString("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QChar('0'))
        .arg(seconds % 60, 2, 10, QChar('0'));
  return QString("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QChar('0'));
}

bool Finished(const QString& status) {
  return status == "Finish" || status == "Short" || status == "Check failed";
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

ConsoleProgress::ConsoleProgress(MainState& state, IMessagePump& inner, bool join, std::FILE* terminal)
    : state_(state), inner_(inner), join_(join), terminal_(terminal) {
  clock_.start();
}

ConsoleProgress::~ConsoleProgress() {
  if (shown_) {
    std::fputs("\r\033[K", terminal_);
    std::fflush(terminal_);
  }
}

double ConsoleProgress::Done(int& rowsDone) const {
  const double share =
      double(state_.ProgressBarRect.right - state_.ProgressBarRect.left) / double(kProgressBarFullWidth);
  rowsDone = 0;
  std::int64_t total = 0, finished = 0, current = 0;
  for (int row = 0; row < state_.TrackCount; ++row) {
    const Timerec& r = state_.TrackTable[static_cast<std::size_t>(row)];
    const std::int64_t length = std::max<std::int64_t>(0, r.EndSample - r.BeginSample);
    total += length;
    const QString status = state_.lv->CellText(row, kStatusCell);
    if (Finished(status) || (rows_ && rows_->Finished(row))) {
      ++rowsDone;
      finished += length;
    } else if (rows_) {
      finished += std::clamp<std::int64_t>(rows_->Frames(row), 0, length);
    } else if (current == 0 && status != "unconverted" && !status.isEmpty()) {
      current = length;  // the row being written
    }
  }
  if (join_) return share;
  if (total <= 0) return 0;
  return (double(finished) + share * double(current)) / double(total);
}

void ConsoleProgress::ProcessPendingMessages() {
  inner_.ProcessPendingMessages();
  const std::int64_t now = clock_.elapsed();
  if (now - lastShownMs_ < kShowEveryMs) return;
  lastShownMs_ = now;
  int rowsDone = 0;
  const double done = Done(rowsDone);
  const QByteArray line = ProgressLineText(done, rowsDone, state_.TrackCount, now).toUtf8();
  std::fprintf(terminal_, "\r\033[K%s", line.constData());
  std::fflush(terminal_);
  shown_ = true;
}

}  // namespace snipwave
