#include "platform/WorkerThread.h"

#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
#endif

namespace snipwave {

namespace {

void AnnounceEnd([[maybe_unused]] QThread* worker) {
#if defined(__SANITIZE_THREAD__)
  __tsan_release(worker);
#endif
}

void AnnounceJoined([[maybe_unused]] QThread* worker) {
#if defined(__SANITIZE_THREAD__)
  __tsan_acquire(worker);
#endif
}

}  // namespace

QThread* StartWorker(const QString& name, QThread::Priority priority, std::function<void()> body) {
  QThread* worker = QThread::create([body = std::move(body)] {
    body();
    AnnounceEnd(QThread::currentThread());
  });
  worker->setObjectName(name);
  worker->start(priority);
  return worker;
}

void JoinWorker(QThread*& worker) {
  if (!worker) return;
  worker->wait();
  AnnounceJoined(worker);
  delete worker;
  worker = nullptr;
}

}  // namespace snipwave
