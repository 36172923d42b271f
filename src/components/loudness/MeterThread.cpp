#include "components/loudness/MeterThread.h"

namespace snipwave::loudness {

MeterThread::MeterThread(int sampleRate, int channels, std::string what)
    : meter_(sampleRate, channels, std::move(what)), thread_([this] { Run(); }) {}

MeterThread::~MeterThread() {
  {
    const std::lock_guard lock(mutex_);
    closed_ = dropped_ = true;
    queue_.clear();
  }
  changed_.notify_all();
  thread_.join();
}

void MeterThread::Add(std::vector<float> interleaved) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return queue_.size() < kQueued || failure_; });
  if (failure_) return;  // Finish reports it
  queue_.push_back(std::move(interleaved));
  lock.unlock();
  changed_.notify_all();
}

Loudness MeterThread::Finish() {
  {
    std::unique_lock lock(mutex_);
    closed_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return (queue_.empty() && !busy_) || failure_; });
    if (failure_) std::rethrow_exception(failure_);
  }
  return meter_.Result();
}

void MeterThread::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return !queue_.empty() || closed_; });
    if (dropped_ || (queue_.empty() && closed_)) return;
    std::vector<float> block = std::move(queue_.front());
    queue_.pop_front();
    busy_ = true;
    lock.unlock();
    changed_.notify_all();
    try {
      meter_.Add(block.data(), block.size() / static_cast<std::size_t>(meter_.Channels()));
    } catch (...) {
      lock.lock();
      failure_ = std::current_exception();
      busy_ = false;
      changed_.notify_all();
      return;
    }
    lock.lock();
    busy_ = false;
    changed_.notify_all();
  }
}

}  // namespace snipwave::loudness
