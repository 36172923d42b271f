#pragma once

#include <QString>
#include <cstdint>

namespace snipwave {

// Where a job stands: the row in turn (rows are reported in list order,
// whatever number of them is being worked on) and source frames done of its
// range and of all ranges.
struct JobProgress {
  int row = 0;
  std::int64_t rowDone = 0, rowFrames = 0;
  std::int64_t jobDone = 0, jobFrames = 0;
};

// What a running job reports. Every call comes from the thread that runs the
// job, never from its workers, in the order a job of one row at a time gives:
// a row's status before its progress, its outcome and its messages before the
// next row's. The observer must not call back into the job.
class IJobObserver {
 public:
  virtual ~IJobObserver() = default;
  // A row's status text: "Cutting" or "Joining" when its turn comes, then
  // its outcome ("Finish", "Short", "Check failed").
  virtual void RowStatus(int row, const QString& status) = 0;
  // Nothing the job made of the row is kept (its output failed, or the whole
  // join's did): the row shows again what it showed before the job, so that
  // no row still says it is being cut or joined once the job has ended.
  virtual void RowRestored(int row) = 0;
  virtual void Progress(const JobProgress& progress) = 0;
  // Something the user must read (a source that is gone, one that ended
  // early); the job goes on once the call returns.
  virtual void Message(const QString& text) = 0;
  // The question before a join replaces an existing file, asked before the
  // join starts; No (false) is the default answer.
  virtual bool AskOverwrite(const QString& question) = 0;
};

}  // namespace snipwave
