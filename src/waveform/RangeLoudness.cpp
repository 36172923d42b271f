#include "waveform/RangeLoudness.h"

#include <QFile>
#include <QThread>
#include <cmath>
#include <exception>

#include "components/audio/TAudioFile2.h"
#include "components/loudness/ReaderLoudness.h"
#include "platform/WorkerThread.h"

namespace snipwave {

RangeLoudness::~RangeLoudness() {
  cancel_ = true;
  JoinWorker(worker_);
}

RangeLoudness::Answer RangeLoudness::Measure(const QString& path, std::int64_t begin, std::int64_t end) {
  const std::optional<audio::FileIdentity> id = audio::IdentifyFile(QFile::encodeName(path).toStdString());
  if (!id) return {std::nullopt, 0, QStringLiteral("the file cannot be read")};
  const Key key{*id, begin, end};
  for (const Result& result : results_)
    if (result.key == key) return result.answer;
  if (running_ && running_->key == key) return {std::nullopt, progress_.load(), {}};
  waiting_ = Job{key, path};
  StartNext();
  return {};
}

void RangeLoudness::StartNext() {
  if (running_ || !waiting_) return;
  running_ = std::move(waiting_);
  waiting_.reset();
  progress_ = 0;
  JoinWorker(worker_);
  const Job job = *running_;
  worker_ = StartWorker(QStringLiteral("range loudness"), QThread::LowPriority, [this, job] {
    Answer answer;
    try {
      TAudioFile2 reader;
      reader.OpenFile(QFile::encodeName(job.path).toStdString(), 0, 1);
      const std::int64_t end = std::min(job.key.end, reader.LengthSamples());
      const std::int64_t frames = std::max<std::int64_t>(end - job.key.begin, 1);
      loudness::LoudnessMeter meter(static_cast<int>(reader.SampleRate()), reader.Channels(), job.path.toStdString());
      loudness::FeedOpenReader(reader, meter, job.key.begin, end, [&](std::int64_t done) {
        progress_ = static_cast<double>(done) / static_cast<double>(frames);
        return !cancel_;
      });
      if (cancel_) return;
      answer.loudness = meter.Result();
    } catch (const std::exception& e) {
      answer.error = QString::fromUtf8(e.what());
    }
    QMetaObject::invokeMethod(
        this,
        [this, key = job.key, answer] {
          results_.push_front({key, answer});
          if (results_.size() > kKept) results_.pop_back();
          running_.reset();
          StartNext();
          emit Measured();
        },
        Qt::QueuedConnection);
  });
}

QString RangeLoudnessLine(const RangeLoudness::Answer& answer) {
  const QString head = QStringLiteral("Range loudness: ");
  if (!answer.error.isEmpty()) return head + "not measured (" + answer.error + ")";
  if (answer.loudness) return head + QString::fromStdString(loudness::Describe(*answer.loudness));
  return head + QString("measuring (%1%)").arg(static_cast<int>(std::floor(answer.progress * 100)));
}

}  // namespace snipwave
