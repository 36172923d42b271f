#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

#include "convert/RowCut.h"

namespace snipwave {

// Cuts the rows of a job on one thread per component set, rows taken in list
// order (so every row before one being cut has been taken too). The job's
// thread collects the outcomes in row order with Wait. A stop starts no
// further row; rows being cut end after their current chunk. A failed row
// makes every later row useless: they are dropped, as one row at a time
// would never have reached them.
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
  // stop kept from starting. `waiting` runs on the caller's thread about
  // every 50 ms meanwhile.
  RowOutcome* Wait(int row, const std::function<void()>& waiting);
  // Source frames of the row copied so far (from any thread).
  std::int64_t Frames(int row) const;
  // The row passed its checks and its source is being read (from any thread).
  bool Started(int row) const;

 private:
  void Work(RowComponents& set);
  bool Dropped(int row) const { return row > lastNeeded_.load(); }
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
  std::vector<std::thread> threads_;
};

}  // namespace snipwave
