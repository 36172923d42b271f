#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>
#include <list>
#include <optional>

#include "components/audio/ScanCache.h"
#include "components/loudness/LoudnessMeter.h"

class QThread;

namespace snipwave {

// The loudness of rows' ranges (frames [begin, end) of a file), measured on
// a worker thread with a reader of its own, one range at a time: a range
// asked for while another is measured waits, and only the last one asked for
// waits. The last kKept results are kept per file version. Destroying it
// cancels the measure under way and waits for the worker.
class RangeLoudness final : public QObject {
  Q_OBJECT

 public:
  static constexpr std::size_t kKept = 32;

  struct Answer {
    std::optional<loudness::Loudness> loudness;  // none while measuring or after a failure
    double progress = 0;                          // 0..1 while measuring
    QString error;                                // the reader's message when it failed
  };

  explicit RangeLoudness(QObject* parent = nullptr) : QObject(parent) {}
  ~RangeLoudness() override;

  // The range's measure when done; else its progress, and the measure is
  // started (or queued) now.
  Answer Measure(const QString& path, std::int64_t begin, std::int64_t end);

 signals:
  void Measured();

 private:
  struct Key {
    audio::FileIdentity id;
    std::int64_t begin = 0, end = 0;
    bool operator==(const Key&) const = default;
  };
  struct Result {
    Key key;
    Answer answer;
  };
  struct Job {
    Key key;
    QString path;
  };
  void StartNext();

  std::list<Result> results_;  // newest first
  std::optional<Job> running_, waiting_;
  std::atomic<double> progress_{0};
  std::atomic<bool> cancel_{false};
  QThread* worker_ = nullptr;
};

// "Range loudness: ..." for the list's tooltip, in the words of LoudnessLine.
QString RangeLoudnessLine(const RangeLoudness::Answer& answer);

}  // namespace snipwave
