#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "convert/JobSupport.h"

namespace snipwave {

class IAudioFile2;
class IAudioFile2LameEnc;
struct MainState;

// What one thread of a parallel cut reads, writes and checks with. None of it
// is used by two threads: each thread has its own set for all its rows.
struct RowComponents {
  std::unique_ptr<IAudioFile2> reader;
  std::unique_ptr<IAudioFile2> writer;
  std::unique_ptr<IAudioFile2> checker;  // none: outputs are not read back
  std::unique_ptr<IAudioFile2LameEnc> encoder;
};

// Source frames copied so far for each row, and whether its thread is done
// with it (its output may still wait for earlier rows to get their names);
// written by the rows' threads, read by a progress display on another thread.
class RowProgress {
 public:
  explicit RowProgress(int rows);
  int Rows() const { return rows_; }
  void Set(int row, std::int64_t frames);
  std::int64_t Frames(int row) const;
  void Finish(int row);
  bool Finished(int row) const;

 private:
  int rows_;
  std::unique_ptr<std::atomic<std::int64_t>[]> frames_;
  std::unique_ptr<std::atomic<bool>[]> finished_;
};

// The cut job (see Cut) with up to components.size() rows copied at once, one
// thread per component set; the caller's thread hands out nothing but waits,
// lets messages through about every 50 ms and finishes the rows in list order.
// Everything a user can see equals a serial cut of the same list: output names
// are given in row order before any row starts (an output is dropped, and its
// name given to no other row, exactly where a serial cut drops it), files
// appear under their names, messages are shown and the report is filled in row
// order. Clearing `Converting` starts no further row; rows being copied end
// after their current chunk and are kept, complete, under their names. A
// failure that leaves a serial cut (a write, a source that fails while read)
// leaves this job at that row: later rows already written are dropped and the
// failed row's reader and writer become `AudioFileRead` / `AudioFileWrite`, so
// AbortJobAfterError cleans up as after a serial cut. The components must
// therefore outlive that clean-up.
// `state.AudioFileWrite` and `state.AudioFile2LameEnc` take the output
// configuration first (and its refusal), then each set's writer gets the same.
void CutInParallel(MainState& state, const JobOptions& options, std::vector<RowComponents>& components,
                   RowProgress* progress = nullptr);

}  // namespace snipwave
