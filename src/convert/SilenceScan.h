#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "convert/SilenceSplit.h"

class QThread;

namespace snipwave {

// Finds the split points of one range of a file on a worker thread, with a
// reader of its own, so the window stays responsive however long the file.
// Progress and the outcome are handed to the thread that owns the scan and
// run its callbacks there. After Stop() no callback runs any more; the
// destructor stops the worker and waits for it.
class SilenceScan final : public QObject {
 public:
  // `points`: frames of the file, ascending; `error`: the reader's message
  // when the file could not be read (points then empty).
  struct Outcome {
    std::vector<std::int64_t> points;
    QString error;
  };

  SilenceScan(QString path, std::int64_t begin, std::int64_t end, SilenceRule rule, QObject* parent = nullptr);
  ~SilenceScan() override;

  std::function<void(double share)> Progressed;  // 0..1, a few times a second at most
  std::function<void(const Outcome&)> Finished;  // once, unless stopped

  void Start();
  void Stop();
  // Stops, and deletes the scan once its worker has ended, without waiting
  // for it here.
  void StopAndDeleteWhenDone();

 private:
  void Run();  // on the worker thread

  QString path_;
  std::int64_t begin_;
  std::int64_t end_;
  SilenceRule rule_;
  bool stopped_ = false;  // owner's thread only
  std::atomic<bool> cancel_{false};
  QThread* thread_ = nullptr;
};

}  // namespace snipwave
