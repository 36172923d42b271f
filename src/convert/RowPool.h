#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>
#include <vector>

#include "convert/RowCut.h"

namespace snipwave {

// Cuts the rows of a job on one thread per component set, rows taken in list
// order (so every row before one being cut has been taken too). The job's
// thread collects the outcomes in row order with Wait. Every later row is
// dropped (its temporary file removed, nothing named) where one row at a time
// would never have reached it:
// - a stop starts no further row; the lowest row not yet done when it came is
//   the row being cut, which ends after its current chunk and is kept; the
//   rows after it, done or not, are dropped;
// - a failed row drops every row after it.
class RowPool {
 public:
  RowPool(const std::vector<JobRow>& rows, const std::vector<RowPlan>& plans, const JobChoices& choices,
          std::vector<RowComponents>& sets, std::stop_token stop);
  // Drops every row not collected yet (their temporary files go with them)
  // and waits for the threads.
  ~RowPool();
  RowPool(const RowPool&) = delete;
  RowPool& operator=(const RowPool&) = delete;

  // The row's outcome once its thread is done with it, nullptr for a row a
  // stop kept from starting or dropped. `waiting` runs on the caller's thread
  // about every 50 ms meanwhile.
  RowOutcome* Wait(int row, const std::function<void()>& waiting);
  // Source frames of the row copied so far (from any thread).
  std::int64_t Frames(int row) const;
  // The row passed its checks and its source is being read (from any thread).
  bool Started(int row) const;

 private:
  void Work(RowComponents& set);
  bool Dropped(int row) const { return row > lastNeeded_.load(); }
  // Keeps no row after `row`.
  void NeedUpTo(int row);
  // The stop's row: the lowest one not done yet (all later ones dropped).
  void OnStop();
  void DropAllAndJoin();

  const std::vector<JobRow>& rows_;
  const std::vector<RowPlan>& plans_;
  const JobChoices& choices_;
  std::stop_token stop_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<RowOutcome> outcomes_;  // a row's entry belongs to its thread until `finished_`
  std::vector<char> finished_;
  std::unique_ptr<std::atomic<std::int64_t>[]> frames_;
  std::unique_ptr<std::atomic<bool>[]> started_;
  int next_ = 0;        // the next row to take
  bool taking_ = true;  // false: no further row starts
  std::atomic<int> lastNeeded_;
  std::atomic<bool> stopped_{false};  // set once the stop's row is known
  std::vector<std::thread> threads_;
  // Last: gone before what it touches. Runs on the thread that asks the stop.
  std::optional<std::stop_callback<std::function<void()>>> onStop_;
};

}  // namespace snipwave
