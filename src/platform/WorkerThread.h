#pragma once

#include <QString>
#include <QThread>
#include <functional>

namespace snipwave {

// A QThread that runs one function, for the background readers of the
// window (peaks, fine waveform, loudness, silences). QThread::wait() wakes on
// a futex that ThreadSanitizer cannot see, so the end of the function is
// announced to it as the hand-over it is: whatever the function wrote is seen
// after JoinWorker. Without ThreadSanitizer the announcements are nothing.
QThread* StartWorker(const QString& name, QThread::Priority priority, std::function<void()> body);

// Waits for the worker to end, then deletes it; `worker` becomes nullptr.
// A nullptr is left as it is.
void JoinWorker(QThread*& worker);

}  // namespace snipwave
