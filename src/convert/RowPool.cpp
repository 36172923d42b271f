#include "convert/RowPool.h"

#include <chrono>

namespace snipwave {

namespace {
constexpr auto kReportEvery = std::chrono::milliseconds(50);
}

RowPool::RowPool(const std::vector<JobRow>& rows, const std::vector<RowPlan>& plans, const JobChoices& choices,
                 std::vector<RowComponents>& sets, std::stop_token stop)
    : rows_(rows), plans_(plans), choices_(choices), stop_(std::move(stop)), outcomes_(rows.size()),
      finished_(rows.size(), 0), frames_(new std::atomic<std::int64_t>[rows.size()]()),
      started_(new std::atomic<bool>[rows.size()]()),
      lastNeeded_(static_cast<int>(rows.size()) - 1) {
  onStop_.emplace(stop_, [this] { OnStop(); });
  try {
    for (RowComponents& set : sets) threads_.emplace_back([this, &set] { Work(set); });
  } catch (...) {
    DropAllAndJoin();  // no more threads to be had: the ones started end first
    throw;
  }
}

RowPool::~RowPool() { DropAllAndJoin(); }

void RowPool::NeedUpTo(int row) {
  int last = lastNeeded_.load();
  while (row < last && !lastNeeded_.compare_exchange_weak(last, row)) {
  }
}

void RowPool::OnStop() {
  {
    const std::lock_guard lock(mutex_);
    taking_ = false;
    // One row at a time would be cutting the first row not done yet: that
    // one ends as a stopped row does, every later one is of no use.
    int current = 0;
    while (current < next_ && finished_[static_cast<std::size_t>(current)]) ++current;
    NeedUpTo(current);
    // Only now do the rows in flight hear of the stop: none of them can end
    // as stopped before the stop's row is known.
    stopped_.store(true);
  }
  changed_.notify_all();
}

void RowPool::DropAllAndJoin() {
  {
    const std::lock_guard lock(mutex_);
    taking_ = false;
  }
  lastNeeded_.store(-1);
  for (std::thread& thread : threads_)
    if (thread.joinable()) thread.join();
}

std::int64_t RowPool::Frames(int row) const {
  if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return 0;
  return frames_[static_cast<std::size_t>(row)].load(std::memory_order_relaxed);
}

bool RowPool::Started(int row) const {
  if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return false;
  return started_[static_cast<std::size_t>(row)].load();
}

RowOutcome* RowPool::Wait(int row, const std::function<void()>& waiting) {
  const auto index = static_cast<std::size_t>(row);
  std::unique_lock lock(mutex_);
  const auto settled = [&] { return Dropped(row) || finished_[index] || (!taking_ && row >= next_); };
  for (;;) {
    if (settled()) break;
    if (changed_.wait_for(lock, kReportEvery, settled)) break;
    lock.unlock();
    if (waiting) waiting();
    lock.lock();
  }
  return finished_[index] && !Dropped(row) ? &outcomes_[index] : nullptr;
}

void RowPool::Work(RowComponents& set) {
  for (;;) {
    int row = 0;
    {
      const std::lock_guard lock(mutex_);
      if (!taking_ || stop_.stop_requested() || next_ >= static_cast<int>(rows_.size()) || Dropped(next_)) return;
      row = next_++;
    }
    const auto index = static_cast<std::size_t>(row);
    RowControl control;
    control.started = [this, index] { started_[index].store(true); };
    control.keepGoing = [this, index, row](std::int64_t done) {
      frames_[index].store(done, std::memory_order_relaxed);
      return !stopped_.load() && !Dropped(row);
    };
    control.abandoned = [this, row] { return Dropped(row); };
    RowOutcome outcome = CutRow(rows_[index], plans_[index], choices_, set, control);
    const bool failed = outcome.failure || outcome.sourceFailure;
    // One row at a time would end the job at this row: later rows are of no use.
    if (failed) NeedUpTo(row);
    {
      const std::lock_guard lock(mutex_);
      outcomes_[index] = std::move(outcome);
      finished_[index] = 1;
    }
    changed_.notify_all();
    // The set's reader and writer stay as the failure left them, for the clean-up.
    if (failed) return;
  }
}

}  // namespace snipwave
