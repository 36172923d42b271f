#include "convert/SilenceScan.h"

#include <QElapsedTimer>
#include <QThread>
#include <exception>

#include "components/audio/TAudioFile2.h"
#include "platform/FileNames.h"
#include "platform/WorkerThread.h"

namespace snipwave {

namespace {
// Progress goes out at most this often, so a fast decode never floods the
// owner's thread.
constexpr int kProgressMs = 100;
}  // namespace

SilenceScan::SilenceScan(QString path, std::int64_t begin, std::int64_t end, SilenceRule rule, QObject* parent)
    : QObject(parent), path_(std::move(path)), begin_(begin), end_(end), rule_(rule) {}

SilenceScan::~SilenceScan() {
  cancel_ = true;
  JoinWorker(thread_);
}

void SilenceScan::Start() {
  if (thread_) return;
  thread_ = StartWorker(QStringLiteral("silence scan"), QThread::LowPriority, [this] { Run(); });
}

void SilenceScan::Stop() {
  stopped_ = true;
  cancel_ = true;
}

void SilenceScan::StopAndDeleteWhenDone() {
  Stop();
  if (thread_) connect(thread_, &QThread::finished, this, &QObject::deleteLater);
  // Connected first: a worker that ended just before is seen here, and a
  // second deleteLater is harmless.
  if (!thread_ || thread_->isFinished()) deleteLater();
}

void SilenceScan::Run() {
  // Every hand-over runs on the owner's thread; a scan deleted meanwhile
  // drops the calls still queued for it, a stopped one ignores them.
  auto post = [this](auto function) { QMetaObject::invokeMethod(this, std::move(function), Qt::QueuedConnection); };
  try {
    TAudioFile2 reader;
    reader.OpenFile(SystemPath(path_), 0, 1);
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    auto keepGoing = [&](double share) {
      if (cancel_) return false;
      if (sinceProgress.elapsed() >= kProgressMs) {
        sinceProgress.restart();
        post([this, share] {
          if (!stopped_ && Progressed) Progressed(share);
        });
      }
      return true;
    };
    std::vector<std::int64_t> points = FindSilenceSplits(reader, begin_, end_, rule_, keepGoing);
    if (cancel_) return;  // a stopped scan returns no points, which would read as "no silence"
    reader.CloseFile();
    post([this, points = std::move(points)] {
      if (!stopped_ && Finished) Finished(Outcome{points, {}});
    });
  } catch (const std::exception& e) {
    const QString message = QString::fromUtf8(e.what());
    post([this, message] {
      if (!stopped_ && Finished) Finished(Outcome{{}, message});
    });
  }
}

}  // namespace snipwave
