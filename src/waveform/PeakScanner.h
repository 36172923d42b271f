#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <memory>
#include <optional>

#include "components/loudness/LoudnessMeter.h"
#include "waveform/WaveformPeaks.h"

class QThread;

namespace snipwave {

// Decodes one file on a worker thread, with a reader of its own, and hands
// the base-level peaks to the GUI thread in batches as they are made, so a
// view fills in while the scan runs. Before the exact scan, a file of more
// than a few seconds is sampled at a few hundred places (audio::SketchReader)
// and Peaks() first appears holding only that sketch: a whole-file overview
// within a fraction of a second, which the exact peaks replace from the
// start onwards. The same decode feeds the file's loudness measure (EBU
// R128, on a thread of its own beside the scan), which is there once the scan
// has read the whole file. The peaks object is created, appended
// to and read on the thread that owns the scanner only. Destroying the
// scanner cancels the scan and waits for the worker.
class PeakScanner final : public QObject {
  Q_OBJECT

 public:
  explicit PeakScanner(QString path, QObject* parent = nullptr);
  ~PeakScanner() override;

  void Start();
  const QString& Path() const { return path_; }
  // Empty until the worker has sketched or opened the file; replaced by a
  // new object once the exact length is known.
  std::shared_ptr<const WaveformPeaks> Peaks() const { return peaks_; }
  // The reader's message when the file could not be decoded (the peaks, if
  // any, stop where it failed).
  const QString& ErrorText() const { return error_; }
  bool Finished() const { return finished_; }
  // The whole file's loudness; nothing until the scan has completed (or
  // when it failed or was cancelled).
  const std::optional<loudness::Loudness>& Loudness() const { return loudness_; }
  // The share of the file scanned so far, 0..1 (1 once finished).
  double Progress() const;

 signals:
  // New peaks, the end of the scan or its failure.
  void Changed();

 private:
  void Run();  // on the worker thread

  QString path_;
  std::shared_ptr<WaveformPeaks> peaks_;
  QString error_;
  std::optional<loudness::Loudness> loudness_;
  bool finished_ = false;
  std::atomic<bool> cancel_{false};
  QThread* thread_ = nullptr;
};

}  // namespace snipwave
