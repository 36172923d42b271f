#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

class QThread;
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "components/skin/SkinInterfaces.h"
#include "waveform/WaveformChoices.h"
#include "waveform/WaveformPeaks.h"
#include "waveform/WaveformScale.h"
#include "waveform/WaveformWindow.h"

namespace snipwave {

class IAudioFile2;
class PeakCache;
class PeakScanner;
class SettingsStore;
class WaveformHeader;

// What the view shows: one file with its marks and the play position, all in
// frames of that file.
struct WaveformContent {
  QString path;  // empty: nothing to show
  std::int64_t totalFrames = 0;
  std::int32_t totalMs = 0;
  std::int64_t begin = 0;
  std::int64_t end = 0;
  std::int64_t position = 0;
  bool playing = false;  // the preview is sounding (not paused)
  std::vector<std::int64_t> splits;  // where a split being chosen would cut, drawn dashed
  bool operator==(const WaveformContent&) const = default;
};

// The picture of the sound of one file: a time ruler along the top, the wave
// (min/max per pixel from the background peaks, or the samples themselves
// when zoomed finer than the peaks' base level), the marked range shaded,
// the begin and end marks as handles and the play position as a line.
// Mouse: a press, drag and release away from the handles choose the play
// position (reported like a drag of the position bar); dragging a handle
// and releasing it proposes that mark; the wheel zooms around the pointer,
// Shift+wheel (or a horizontal wheel) pans, Ctrl+wheel zooms vertically.
// A header strip above the ruler shows the exact position, marks and range
// length, and holds the vertical zoom, the dB scale and the follow choice.
// While a track plays the view follows its play line (page by page or
// centred); a pan stops that until the user clicks the wave, a new play
// starts, the whole file is shown or a follow mode is chosen.
class WaveformView final : public QWidget {
  Q_OBJECT

 public:
  WaveformView(PeakCache& cache, QWidget* parent = nullptr);
  ~WaveformView() override;

  void SetLook(const SkinWaveformLook& look);
  // Shows other content; a different file starts on the whole file.
  void SetContent(const WaveformContent& content);
  const WaveformContent& Content() const { return content_; }
  const WaveformWindow& Window() const { return window_; }
  // Where the follow mode and the dB scale are kept: read when the first
  // file comes into view, written when the user changes one (a choice that
  // cannot be written still holds for the run). Without a store (or while it
  // returns none) the choices live for the run only.
  void UseSettings(std::function<SettingsStore*()> settings) { settings_ = std::move(settings); }
  const WaveformChoices& Choices() const { return choices_; }
  const WaveformScale& Scale() const { return scale_; }
  WaveformHeader& Header() { return *header_; }
  QString ReadoutText() const;
  // Z: the marked range fills the width (an empty range is centred);
  // Shift+Z: the whole file.
  void ZoomToRange();
  void ZoomToFile();
  // Vertical zoom by `steps` of WaveformScale::kStepDb, either way.
  void ZoomVertically(int steps);
  void SetDbScale(bool on);
  // Also takes up following again after a pan.
  void SetFollow(FollowMode mode);
  // The view moves with the play line now.
  bool Following() const { return content_.playing && !followStopped_ && choices_.follow != FollowMode::Off; }
  // Pixel of a frame in widget coordinates (for tests and handles).
  double XOf(std::int64_t frame) const { return window_.XOf(static_cast<double>(frame)); }
  // The samples themselves are drawn (zoomed finer than the peaks and read).
  bool ShowsSamples() const {
    return window_.FramesPerPixel() < WaveformPeaks::kBaseFrames && finePath_ == content_.path &&
           !fineSamples_.empty() && window_.First() >= static_cast<double>(fineFirst_);
  }

  std::function<void(std::int64_t sample)> PositionPressed;
  std::function<void(std::int64_t sample)> PositionMoved;
  std::function<void()> PositionReleased;
  std::function<void(bool begin, std::int64_t sample)> MarkDropped;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  enum class Drag { None, Position, Begin, End };
  static constexpr int kHeaderHeight = 18;
  static constexpr int kRulerHeight = 14;
  static constexpr int kHandleReach = 5;  // pixels either side of a mark that grab it

  QRect WaveRect() const;
  void FollowPlayLine();
  void ShowReadout();
  void LoadChoices();
  void KeepChoices();
  void DrawRuler(QPainter& p);
  void DrawWave(QPainter& p, const QRect& wave);
  void DrawSamples(QPainter& p, const QRect& wave);
  // True when the samples of the window are at hand; else asks for them
  // (the peaks are drawn until they arrive).
  bool LoadFineSamples();
  double FramesPerSecond() const;

  PeakCache& cache_;
  QPointer<PeakScanner> scanner_;
  SkinWaveformLook look_;
  WaveformContent content_;
  WaveformWindow window_;
  WaveformScale scale_;
  WaveformChoices choices_;
  std::function<SettingsStore*()> settings_;
  WaveformHeader* header_ = nullptr;
  bool choicesLoaded_ = false;
  bool followStopped_ = false;  // a pan while playing
  int verticalWheel_ = 0;       // Ctrl+wheel angle not yet a whole step
  Drag drag_ = Drag::None;
  std::int64_t dragSample_ = 0;

  // Samples of the view's window at the finest zooms, channels mixed, read
  // on a worker thread (one read at a time) with a reader of the view's own;
  // the reader is touched only by that worker while a read is under way.
  std::unique_ptr<IAudioFile2> fineReader_;
  QString fineReaderPath_;
  QThread* fineWorker_ = nullptr;
  bool fineBusy_ = false;
  QString fineFailedPath_;  // a file the reader refused: not tried again
  QString finePath_;        // the file fineSamples_ belong to
  std::int64_t fineFirst_ = 0;
  std::vector<float> fineSamples_;
};

}  // namespace snipwave
