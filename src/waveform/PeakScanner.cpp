#include "waveform/PeakScanner.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <exception>

#include "components/audio/TAudioFile2.h"

namespace snipwave {

namespace {
// Frames decoded per read: large enough that the reader's per-call cost
// vanishes, small enough that cancelling is quick.
constexpr int kReadFrames = 1 << 16;
// The first batch goes out at once (the view shows something early), later
// ones at most this often, so the GUI thread is never flooded.
constexpr int kBatchMs = 100;
}  // namespace

PeakScanner::PeakScanner(QString path, QObject* parent) : QObject(parent), path_(std::move(path)) {}

PeakScanner::~PeakScanner() {
  cancel_ = true;
  if (thread_) {
    thread_->wait();
    delete thread_;
  }
}

void PeakScanner::Start() {
  if (thread_) return;
  thread_ = QThread::create([this] { Run(); });
  thread_->setObjectName(QStringLiteral("peak scan"));
  thread_->start(QThread::LowPriority);
}

void PeakScanner::Run() {
  // Every hand-over runs on the owner's thread, in order; a scanner deleted
  // meanwhile drops the calls still queued for it.
  auto post = [this](auto function) { QMetaObject::invokeMethod(this, std::move(function), Qt::QueuedConnection); };
  try {
    TAudioFile2 reader;
    reader.OpenFile(QFile::encodeName(path_).toStdString(), 0, 1);
    const std::int64_t total = reader.LengthSamples();
    const int rate = static_cast<int>(reader.SampleRate());
    const int channels = reader.Channels();
    post([this, total, rate, channels] {
      peaks_ = std::make_shared<WaveformPeaks>(total, rate, channels);
      emit Changed();
    });

    BlockPeaks blocks(WaveformPeaks::kBaseFrames, channels);
    std::vector<PeakPair> batch;
    QElapsedTimer sinceBatch;
    sinceBatch.start();
    bool first = true;
    while (!cancel_) {
      const SampleBuffer buffer = reader.ReadSamples(kReadFrames);
      const std::size_t frames = buffer.size() / static_cast<std::size_t>(channels);
      const bool last = frames == 0;
      if (last) blocks.Finish(batch);
      else blocks.Add(buffer.data(), frames, batch);
      if (last || first || sinceBatch.elapsed() >= kBatchMs) {
        post([this, peaks = std::move(batch), last] {
          if (peaks_) peaks_->Append(peaks, last);
          if (last) finished_ = true;
          emit Changed();
        });
        batch = {};
        first = false;
        sinceBatch.restart();
      }
      if (last) break;
    }
    reader.CloseFile();
  } catch (const std::exception& e) {
    const QString message = QString::fromUtf8(e.what());
    post([this, message] {
      error_ = message;
      finished_ = true;
      if (peaks_) peaks_->Fail();
      emit Changed();
    });
  }
}

}  // namespace snipwave
