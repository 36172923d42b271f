#include "shell/JobThread.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMetaObject>
#include <chrono>

namespace snipwave {

// The job's side of the hand-over. Progress is coalesced: a report not yet
// shown is replaced by a newer one rather than queued behind it, so a fast
// job cannot flood the window.
class JobThread::Relay final : public IJobObserver {
 public:
  explicit Relay(JobThread& owner) : owner_(owner) {}

  void RowStatus(int row, const QString& status) override {
    owner_.Deliver([this, row, status] { owner_.shown_->RowStatus(row, status); });
  }

  void RowRestored(int row) override {
    owner_.Deliver([this, row] { owner_.shown_->RowRestored(row); });
  }

  void Progress(const JobProgress& progress) override {
    {
      const std::lock_guard lock(mutex_);
      latest_ = progress;
      if (progressQueued_) return;
      progressQueued_ = true;
    }
    owner_.Deliver([this] {
      JobProgress progress;
      {
        const std::lock_guard lock(mutex_);
        progress = latest_;
        progressQueued_ = false;
      }
      owner_.shown_->Progress(progress);
    });
  }

  void Message(const QString& text) override {
    std::unique_lock lock(mutex_);
    const int mine = ++messagesSent_;
    lock.unlock();
    owner_.Deliver([this, text] {
      owner_.shown_->Message(text);
      {
        const std::lock_guard shownLock(mutex_);
        ++messagesShown_;
      }
      shown_.notify_all();
    });
    lock.lock();
    shown_.wait(lock, [&] { return messagesShown_ >= mine; });
  }

  // The overwrite question is asked before a join starts, never by a running job.
  bool AskOverwrite(const QString&) override { return false; }

 private:
  JobThread& owner_;
  std::mutex mutex_;
  std::condition_variable shown_;
  JobProgress latest_;
  bool progressQueued_ = false;
  int messagesSent_ = 0, messagesShown_ = 0;
};

JobThread::JobThread(QObject* parent) : QObject(parent) {}

JobThread::~JobThread() { StopAndWait(); }

bool JobThread::Start(Work work, IJobObserver& shown, std::function<void(JobReport&)> ended) {
  if (running_) return false;
  running_ = true;
  shown_ = &shown;
  ended_ = std::move(ended);
  stop_ = std::stop_source();
  relay_ = std::make_unique<Relay>(*this);
  report_ = std::make_shared<JobReport>();
  thread_ = std::jthread([this, work = std::move(work), stop = stop_.get_token(), report = report_] {
    try {
      *report = work(*relay_, stop);
    } catch (const std::exception& e) {  // the engine reports its own failures; this is setting up its parts
      report->end = JobEnd::Failed;
      report->failure = QString::fromUtf8(e.what());
    }
    Deliver([this] { Finish(); });
  });
  return true;
}

void JobThread::Stop() {
  if (running_) stop_.request_stop();
}

void JobThread::StopAndWait() {
  Stop();
  while (running_) {
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    if (running_) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

void JobThread::Deliver(std::function<void()> call) {
  QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

void JobThread::Finish() {
  if (thread_.joinable()) thread_.join();
  running_ = false;
  const std::shared_ptr<JobReport> report = std::move(report_);
  const std::function<void(JobReport&)> ended = std::move(ended_);
  relay_.reset();
  if (ended) ended(*report);
}

}  // namespace snipwave
