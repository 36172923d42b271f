#pragma once

#include <QObject>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>

#include "convert/JobObserver.h"
#include "convert/JobSupport.h"

namespace snipwave {

// Runs one job at a time on a thread of its own and hands its reports to
// this object's thread (the GUI's) as queued calls, in the order the job made
// them, to `shown`. A message holds the job until it has been shown there
// (so the user reads messages in the order and at the point one row at a
// time gives). `ended` gets the report on this object's thread once the job
// is over; the job's thread has ended by then.
class JobThread final : public QObject {
 public:
  using Work = std::function<JobReport(IJobObserver& observer, std::stop_token stop)>;

  explicit JobThread(QObject* parent = nullptr);
  // Stops a running job and waits for it (see StopAndWait).
  ~JobThread() override;

  // False (nothing started) while a job runs.
  bool Start(Work work, IJobObserver& shown, std::function<void(JobReport&)> ended);
  bool Running() const { return running_; }
  // Asks the job to stop: it starts no further row and ends after its
  // current chunk.
  void Stop();
  // Stops the job and waits for its end here, delivering what it reported
  // meanwhile (its messages included) and then `ended`.
  void StopAndWait();

 private:
  class Relay;
  void Deliver(std::function<void()> call);
  void Finish();

  std::unique_ptr<Relay> relay_;
  std::jthread thread_;
  std::stop_source stop_;
  IJobObserver* shown_ = nullptr;
  std::function<void(JobReport&)> ended_;
  std::shared_ptr<JobReport> report_;
  bool running_ = false;
};

}  // namespace snipwave
