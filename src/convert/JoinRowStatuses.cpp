#include "convert/JoinRowStatuses.h"

#include "convert/JoinJob.h"
#include "convert/JobSupport.h"

namespace snipwave {

void JoinRowStatuses::RowStatus(int row, const QString& status) {
  marks_[row].status = status;
  shown_.RowStatus(row, status);
}

void JoinRowStatuses::RowRestored(int row) {
  marks_.erase(row);
  shown_.RowRestored(row);
}

void JoinRowStatuses::Progress(const JobProgress& progress) {
  if (progress.rowDone > 0) {
    const auto mark = marks_.find(progress.row);
    if (mark != marks_.end()) mark->second.written = true;
  }
  shown_.Progress(progress);
}

void JoinRowStatuses::SettleFailure(bool outputKept) {
  for (const auto& [row, mark] : marks_) {
    if (!outputKept) shown_.RowRestored(row);
    else if (mark.status == kJoiningStatus && mark.written) shown_.RowStatus(row, kShortStatus);
    else if (mark.status == kJoiningStatus) shown_.RowRestored(row);
  }
  marks_.clear();
}

}  // namespace snipwave
