#pragma once

#include <QElapsedTimer>
#include <QString>
#include <cstdint>
#include <cstdio>

#include "platform/MessagePump.h"

namespace snipwave {

struct MainState;
class RowProgress;

// "42%  3/10 rows  0:12 elapsed  0:17 left": `done` in 0..1 of the whole job,
// times in milliseconds; the estimate is left out until there is something
// to estimate from.
QString ProgressLineText(double done, int rowsDone, int rows, std::int64_t elapsedMs);

// A message pump that also keeps one progress line on a terminal up to date
// (at most every quarter second), overwriting it in place, and clears it when
// destroyed. Everything else goes to the pump it wraps.
// Progress: the rows whose status cell says they are finished, and the
// progress display's share of the row (cut) or of the job (join); for rows
// cut at once (FollowRows), also the rows their threads are done with and the
// frames each other row has copied so far.
class ConsoleProgress final : public IMessagePump {
 public:
  ConsoleProgress(MainState& state, IMessagePump& inner, bool join, std::FILE* terminal);
  ~ConsoleProgress() override;
  void ProcessPendingMessages() override;
  // Takes each unfinished row's progress from `rows` (read from any thread).
  void FollowRows(const RowProgress* rows) { rows_ = rows; }

 private:
  double Done(int& rowsDone) const;

  MainState& state_;
  IMessagePump& inner_;
  bool join_;
  const RowProgress* rows_ = nullptr;
  std::FILE* terminal_;
  QElapsedTimer clock_;
  std::int64_t lastShownMs_ = -1000;
  bool shown_ = false;
};

}  // namespace snipwave
