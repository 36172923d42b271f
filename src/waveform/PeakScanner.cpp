#include "waveform/PeakScanner.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <algorithm>
#include <exception>
#include <optional>
#include <vector>

#include "components/audio/SketchReader.h"
#include "components/audio/TAudioFile2.h"
#include "components/loudness/MeterThread.h"
#include "platform/WorkerThread.h"

namespace snipwave {

namespace {
// Frames decoded per read: large enough that the reader's per-call cost
// vanishes, small enough that cancelling is quick.
constexpr int kReadFrames = 1 << 16;
// The first batch goes out at once (the view shows something early), later
// ones at most this often, so the GUI thread is never flooded.
constexpr int kBatchMs = 100;

// The overview shown before the exact reader has measured the file (for a
// file never opened, its demux scan alone takes a good part of a second per
// hour of MP3): kSketchCells stretches of kSketchFrames frames, evenly spread.
// Files shorter than kSketchMinFrames get none: their scan is as quick.
constexpr int kSketchCells = 256;
constexpr std::size_t kSketchFrames = 2048;
constexpr std::int64_t kSketchMinFrames = 2 * kSketchCells * static_cast<std::int64_t>(kSketchFrames);

struct Sketch {
  std::int64_t frames = 0;  // the container's estimate of the length
  int rate = 0;
  int channels = 0;
  std::vector<PeakPair> cells;
};

// Nothing when the file is short, cannot be sampled, or the scan was
// cancelled meanwhile; the exact reader then has the last word (and the
// error message) anyway.
std::optional<Sketch> SketchFile(const QString& path, const std::atomic<bool>& cancel) {
  try {
    audio::SketchReader reader(QFile::encodeName(path).toStdString());
    if (reader.EstimatedFrames() < kSketchMinFrames) return std::nullopt;
    Sketch sketch{reader.EstimatedFrames(), reader.SampleRate(), reader.Channels(), {}};
    sketch.cells.reserve(kSketchCells);
    std::vector<float> mixed;
    std::optional<PeakPair> previous;
    for (int i = 0; i < kSketchCells && !cancel; ++i) {
      mixed.clear();
      reader.ReadMixedAt((i + 0.5) / kSketchCells, kSketchFrames, mixed);
      if (mixed.empty()) {
        // A place the seek missed: its neighbour's peak stands in for it.
        sketch.cells.push_back(previous.value_or(PeakPair{}));
        continue;
      }
      const auto [lo, hi] = std::minmax_element(mixed.begin(), mixed.end());
      previous = PeakPair{*lo, *hi};
      sketch.cells.push_back(*previous);
    }
    if (cancel || !previous) return std::nullopt;
    return sketch;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}
}  // namespace

PeakScanner::PeakScanner(QString path, QObject* parent) : QObject(parent), path_(std::move(path)) {}

PeakScanner::~PeakScanner() {
  cancel_ = true;
  JoinWorker(thread_);
}

void PeakScanner::Start() {
  if (thread_) return;
  thread_ = StartWorker(QStringLiteral("peak scan"), QThread::LowPriority, [this] { Run(); });
}

double PeakScanner::Progress() const {
  if (finished_) return 1.0;
  if (!peaks_ || peaks_->TotalFrames() <= 0) return 0.0;
  return std::clamp(static_cast<double>(peaks_->ScannedFrames()) / static_cast<double>(peaks_->TotalFrames()), 0.0, 1.0);
}

void PeakScanner::Run() {
  // Every hand-over runs on the owner's thread, in order; a scanner deleted
  // meanwhile drops the calls still queued for it.
  auto post = [this](auto function) { QMetaObject::invokeMethod(this, std::move(function), Qt::QueuedConnection); };
  // First the whole file at a glance, then the exact peaks from the start.
  if (std::optional<Sketch> sketch = SketchFile(path_, cancel_)) {
    post([this, sketch = std::move(*sketch)]() mutable {
      auto peaks = std::make_shared<WaveformPeaks>(sketch.frames, sketch.rate, sketch.channels);
      peaks->SetSketch(std::move(sketch.cells));
      peaks_ = std::move(peaks);
      emit Changed();
    });
  }
  try {
    TAudioFile2 reader;
    reader.OpenFile(QFile::encodeName(path_).toStdString(), 0, 1);
    const std::int64_t total = reader.LengthSamples();
    const int rate = static_cast<int>(reader.SampleRate());
    const int channels = reader.Channels();
    post([this, total, rate, channels] {
      // Measured now: the sketch, if any, carries over to the exact length
      // (its cells are fractions of the file).
      auto peaks = std::make_shared<WaveformPeaks>(total, rate, channels);
      if (peaks_) peaks->SetSketch(peaks_->Sketch());
      peaks_ = std::move(peaks);
      emit Changed();
    });

    BlockPeaks blocks(WaveformPeaks::kBaseFrames, channels);
    // The measure takes each block on a thread of its own: the peaks go on at the decode's pace.
    loudness::MeterThread meter(rate, channels, QFile::encodeName(path_).toStdString());
    std::vector<PeakPair> batch;
    QElapsedTimer sinceBatch;
    sinceBatch.start();
    bool first = true;
    while (!cancel_) {
      SampleBuffer buffer = reader.ReadSamples(kReadFrames);
      const std::size_t frames = buffer.size() / static_cast<std::size_t>(channels);
      const bool last = frames == 0;
      std::optional<loudness::Loudness> level;
      if (last) {
        blocks.Finish(batch);
        level = meter.Finish();
      } else {
        blocks.Add(buffer.data(), frames, batch);
        meter.Add(std::move(buffer));
      }
      if (last || first || sinceBatch.elapsed() >= kBatchMs) {
        post([this, peaks = std::move(batch), last, level] {
          if (peaks_) peaks_->Append(peaks, last);
          if (last) {
            finished_ = true;
            loudness_ = level;
          }
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
