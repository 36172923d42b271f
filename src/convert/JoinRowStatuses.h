#pragma once

#include <QString>
#include <cstdint>
#include <map>

#include "convert/JobObserver.h"

namespace snipwave {

// Passes a join's reports on and remembers each row's last status and whether
// any of its range was written, so that a failed join leaves no row
// "Joining" (see SettleFailure).
class JoinRowStatuses final : public IJobObserver {
 public:
  explicit JoinRowStatuses(IJobObserver& shown) : shown_(shown) {}

  void RowStatus(int row, const QString& status) override;
  void RowRestored(int row) override;
  void Progress(const JobProgress& progress) override;
  void Message(const QString& text) override { shown_.Message(text); }
  bool AskOverwrite(const QString& question) override { return shown_.AskOverwrite(question); }

  // After a failure. Output kept: a row still being joined is "Short" when
  // part of its range is in it (it ends where its source failed), else it
  // shows again what it showed before. Output not kept: every row the join
  // marked shows again what it showed before, since nothing of it is left.
  void SettleFailure(bool outputKept);

 private:
  struct Mark {
    QString status;
    bool written = false;  // frames of the row's range went to the output
  };
  IJobObserver& shown_;
  std::map<int, Mark> marks_;
};

}  // namespace snipwave
