#pragma once

#include <QElapsedTimer>
#include <QString>
#include <cstdint>
#include <cstdio>

namespace snipwave {

// "42%  3/10 rows  0:12 elapsed  0:17 left": `done` in 0..1 of the whole job,
// times in milliseconds; the estimate is left out until there is something
// to estimate from.
QString ProgressLineText(double done, int rowsDone, int rows, std::int64_t elapsedMs);

// One progress line on a terminal, overwritten in place at most every
// quarter second and cleared when destroyed (or before a message).
class ProgressLine {
 public:
  explicit ProgressLine(std::FILE* terminal);
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  void Show(double done, int rowsDone, int rows);
  // Clears the line; the next Show draws it again.
  void Clear();

 private:
  std::FILE* terminal_;
  QElapsedTimer clock_;
  std::int64_t lastShownMs_ = -1000;
  bool shown_ = false;
};

}  // namespace snipwave
