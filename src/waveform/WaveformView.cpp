#include "waveform/WaveformView.h"

#include <QFile>
#include <QMouseEvent>
#include <QPainter>
#include <QThread>
#include <QWheelEvent>
#include <array>
#include <cmath>

#include "components/audio/TAudioFile2.h"
#include "platform/HookedSlot.h"
#include "platform/WorkerThread.h"
#include "waveform/PeakCache.h"
#include "waveform/WaveformHeader.h"
#include "waveform/WaveformReadout.h"

namespace snipwave {

namespace {

// A ruler step in milliseconds that leaves at least `minPixels` between ticks.
std::int64_t RulerStepMs(double pixelsPerMs, double minPixels) {
  static constexpr std::array<std::int64_t, 22> kSteps = {1,     2,     5,      10,     20,     50,     100,    200,
                                                          500,   1000,  2000,   5000,   10000,  15000,  30000,  60000,
                                                          120000, 300000, 600000, 1800000, 3600000, 7200000};
  for (std::int64_t step : kSteps)
    if (step * pixelsPerMs >= minPixels) return step;
  return kSteps.back();
}

QString RulerText(std::int64_t ms, std::int64_t stepMs) {
  const std::int64_t h = ms / 3600000, m = ms / 60000 % 60, s = ms / 1000 % 60, milli = ms % 1000;
  QString text = h > 0 ? QString("%1:%2:%3").arg(h).arg(m, 2, 10, QChar('0')).arg(s, 2, 10, QChar('0'))
                       : QString("%1:%2").arg(m).arg(s, 2, 10, QChar('0'));
  if (stepMs < 1000) text += QString(".%1").arg(milli, 3, 10, QChar('0'));
  return text;
}

}  // namespace

WaveformView::WaveformView(PeakCache& cache, QWidget* parent) : QWidget(parent), cache_(cache) {
  setObjectName(QStringLiteral("waveform"));
  setMouseTracking(true);
  setFocusPolicy(Qt::ClickFocus);
  connect(&cache_, &PeakCache::PeaksChanged, this, qOverload<>(&QWidget::update));
  header_ = new WaveformHeader(this);
  header_->VerticalZoom = [this](int steps) { ZoomVertically(steps); };
  // A choice that cannot be kept is told by the application's hook; it
  // still holds for this run.
  header_->DbScaleChosen = [this](bool on) { HookedSlot([this, on] { SetDbScale(on); })(); };
  header_->FollowChosen = [this](FollowMode mode) { HookedSlot([this, mode] { SetFollow(mode); })(); };
  header_->ShowChoices(choices_);
  ShowReadout();
}

WaveformView::~WaveformView() {
  JoinWorker(fineWorker_);
}

void WaveformView::SetLook(const SkinWaveformLook& look) {
  look_ = look;
  header_->SetLook(look_.font, look_.ruler);
  update();
}

void WaveformView::SetContent(const WaveformContent& content) {
  if (content == content_) return;
  const bool otherFile = content.path != content_.path || content.totalFrames != content_.totalFrames;
  const bool started = content.playing && !content_.playing;
  content_ = content;
  if (otherFile) {
    drag_ = Drag::None;
    window_.Reset(content_.totalFrames, WaveRect().width());
    fineSamples_.clear();
    finePath_.clear();
    fineFailedPath_.clear();
    scanner_ = content_.path.isEmpty() ? nullptr : cache_.Scan(content_.path);
    if (!content_.path.isEmpty() && !choicesLoaded_) LoadChoices();
  }
  if (started) followStopped_ = false;
  FollowPlayLine();
  ShowReadout();
  update();
}

void WaveformView::FollowPlayLine() {
  if (!Following() || drag_ != Drag::None) return;
  if (choices_.follow == FollowMode::Centred) window_.Centre(static_cast<double>(content_.position));
  else window_.Page(static_cast<double>(content_.position));
}

QString WaveformView::ReadoutText() const { return header_->Readout(); }

void WaveformView::ShowReadout() {
  if (content_.path.isEmpty()) {
    header_->SetReadout(QString(), QString());
    return;
  }
  // While a handle or the position is dragged, the readout shows where it would land.
  ReadoutFrames f{content_.position, content_.begin, content_.end, content_.totalFrames, content_.totalMs};
  if (drag_ == Drag::Begin) f.begin = dragSample_;
  if (drag_ == Drag::End) f.end = dragSample_;
  if (drag_ == Drag::Position) f.position = dragSample_;
  header_->SetReadout(snipwave::ReadoutText(f), ReadoutShortText(f));
}

void WaveformView::ZoomToRange() {
  if (content_.path.isEmpty()) return;
  window_.Show(static_cast<double>(content_.begin), static_cast<double>(content_.end));
  // The user wants to see the range, not the play line.
  if (content_.playing) followStopped_ = true;
  update();
}

void WaveformView::ZoomToFile() {
  window_.Reset(content_.totalFrames, WaveRect().width());
  followStopped_ = false;
  update();
}

void WaveformView::ZoomVertically(int steps) {
  if (scale_.Zoom(steps)) {
    header_->ShowGain(scale_.GainDb());
    update();
  }
}

void WaveformView::SetDbScale(bool on) {
  scale_.SetDb(on);
  header_->ShowChoices(choices_ = WaveformChoices{choices_.follow, on});
  update();
  KeepChoices();
}

void WaveformView::SetFollow(FollowMode mode) {
  followStopped_ = false;
  header_->ShowChoices(choices_ = WaveformChoices{mode, choices_.dbScale});
  FollowPlayLine();
  update();
  KeepChoices();
}

void WaveformView::LoadChoices() {
  SettingsStore* store = settings_ ? settings_() : nullptr;
  if (!store) return;
  choicesLoaded_ = true;
  choices_ = ReadWaveformChoices(*store);
  scale_.SetDb(choices_.dbScale);
  header_->ShowChoices(choices_);
}

void WaveformView::KeepChoices() {
  SettingsStore* store = settings_ ? settings_() : nullptr;
  if (store && ReadWaveformChoices(*store) != choices_) WriteWaveformChoices(*store, choices_);
}

void WaveformView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  header_->setGeometry(0, 0, width(), kHeaderHeight);
  if (window_.WholeFile()) window_.Reset(content_.totalFrames, WaveRect().width());
  else window_.Resize(WaveRect().width());
}

QRect WaveformView::WaveRect() const { return rect().adjusted(1, kHeaderHeight + kRulerHeight, -1, -1); }

double WaveformView::FramesPerSecond() const {
  if (scanner_ && scanner_->Peaks() && scanner_->Peaks()->SampleRate() > 0) return scanner_->Peaks()->SampleRate();
  if (content_.totalMs > 0) return content_.totalFrames * 1000.0 / content_.totalMs;
  return 44100;
}

void WaveformView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), look_.background);
  if (look_.border.alpha() > 0) {
    p.setPen(look_.border);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
  }
  if (content_.path.isEmpty() || content_.totalFrames <= 0) return;
  const QRect wave = WaveRect();
  p.setClipRect(wave);

  const std::int64_t shownBegin = drag_ == Drag::Begin ? dragSample_ : content_.begin;
  const std::int64_t shownEnd = drag_ == Drag::End ? dragSample_ : content_.end;
  const double xBegin = wave.left() + XOf(shownBegin);
  const double xEnd = wave.left() + XOf(shownEnd);
  p.fillRect(QRectF(QPointF(xBegin, wave.top()), QPointF(xEnd, wave.bottom() + 1)), look_.range);

  DrawWave(p, wave);

  const double xPosition = wave.left() + XOf(drag_ == Drag::Position ? dragSample_ : content_.position);
  p.setPen(QPen(look_.position, 1));
  p.drawLine(QPointF(xPosition, wave.top()), QPointF(xPosition, wave.bottom()));

  // The marks: a line and a flag at the top that shows which way the range lies.
  auto handle = [&](double x, const QColor& colour, bool begin) {
    p.setPen(QPen(colour, 1));
    p.drawLine(QPointF(x, wave.top()), QPointF(x, wave.bottom()));
    const double w = begin ? 7 : -7;
    const QPointF flag[] = {{x, double(wave.top())}, {x + w, double(wave.top())}, {x, wave.top() + 9.0}};
    p.setBrush(colour);
    p.setPen(Qt::NoPen);
    p.drawPolygon(flag, 3);
  };
  p.setPen(QPen(look_.endMark, 1, Qt::DashLine));
  for (const std::int64_t split : content_.splits) {
    const double x = wave.left() + XOf(split);
    p.drawLine(QPointF(x, wave.top()), QPointF(x, wave.bottom()));
  }
  handle(xBegin, look_.beginMark, true);
  handle(xEnd, look_.endMark, false);

  p.setClipping(false);
  DrawRuler(p);
}

void WaveformView::DrawRuler(QPainter& p) {
  const double fps = FramesPerSecond();
  const double pixelsPerMs = fps / 1000.0 / window_.FramesPerPixel();
  p.setFont(look_.font);
  const int textWidth = p.fontMetrics().horizontalAdvance(QStringLiteral("0:00:00.000")) + 8;
  const std::int64_t step = RulerStepMs(pixelsPerMs, textWidth);
  const double firstMs = window_.First() / fps * 1000.0;
  const double lastMs = window_.FrameAt(WaveRect().width()) / fps * 1000.0;
  p.setPen(look_.ruler);
  for (std::int64_t ms = static_cast<std::int64_t>(std::ceil(firstMs / step)) * step; ms <= lastMs; ms += step) {
    const double x = WaveRect().left() + window_.XOf(ms * fps / 1000.0);
    p.drawLine(QPointF(x, kHeaderHeight + kRulerHeight - 4), QPointF(x, kHeaderHeight + kRulerHeight - 1));
    p.drawText(QRectF(x + 2, kHeaderHeight, textWidth, kRulerHeight - 1), Qt::AlignLeft | Qt::AlignVCenter,
               RulerText(ms, step));
  }
}

void WaveformView::DrawWave(QPainter& p, const QRect& wave) {
  const double mid = wave.top() + wave.height() / 2.0;
  const double half = wave.height() / 2.0 - 1;
  p.setPen(QPen(look_.peaks.darker(130), 1));
  p.drawLine(QPointF(wave.left(), mid), QPointF(wave.right(), mid));
  if (window_.FramesPerPixel() < WaveformPeaks::kBaseFrames && LoadFineSamples()) {
    DrawSamples(p, wave);
    return;
  }
  const std::shared_ptr<const WaveformPeaks> peaks = scanner_ ? scanner_->Peaks() : nullptr;
  if (scanner_ && !scanner_->ErrorText().isEmpty() && (!peaks || peaks->ScannedFrames() == 0)) {
    // Nothing could be read: say so where the sound would be.
    p.setPen(look_.ruler);
    p.setFont(look_.font);
    p.drawText(wave.adjusted(6, 0, -6, 0), Qt::AlignCenter | Qt::TextWordWrap,
               QStringLiteral("The sound cannot be shown: ") + scanner_->ErrorText());
    return;
  }
  p.setPen(QPen(look_.peaks, 1));
  if (!peaks) return;
  const double fpp = window_.FramesPerPixel();
  for (int x = 0; x < wave.width(); ++x) {
    const auto from = static_cast<std::int64_t>(std::floor(window_.FrameAt(x)));
    const auto to = static_cast<std::int64_t>(std::floor(window_.FrameAt(x + 1)));
    if (from >= content_.totalFrames) break;
    const std::optional<PeakPair> peak = peaks->Range(from, std::max(to, from + 1), fpp);
    if (!peak) break;  // not scanned yet
    const double top = mid - scale_.Height(peak->max) * half;
    const double bottom = mid - scale_.Height(peak->min) * half;
    p.drawLine(QPointF(wave.left() + x + 0.5, top), QPointF(wave.left() + x + 0.5, std::max(bottom, top + 1)));
  }
}

// At zooms finer than the peaks' base level, the samples of the window are
// read directly (the view never spans more than width x base level frames).
bool WaveformView::LoadFineSamples() {
  const auto first = std::max<std::int64_t>(0, static_cast<std::int64_t>(std::floor(window_.First())) - 1);
  const auto count = static_cast<std::int64_t>(std::ceil(WaveRect().width() * window_.FramesPerPixel())) + 3;
  const std::int64_t last = std::min(first + count, content_.totalFrames);
  if (finePath_ == content_.path && first >= fineFirst_ &&
      last <= fineFirst_ + static_cast<std::int64_t>(fineSamples_.size()))
    return true;
  if (fineBusy_ || fineFailedPath_ == content_.path) return false;

  // Read a little wider than the view, so small pans need no new read.
  const std::int64_t from = std::max<std::int64_t>(0, first - count / 2);
  const std::int64_t frames = std::max<std::int64_t>(0, std::min<std::int64_t>(count * 2, content_.totalFrames - from));
  const QString path = content_.path;
  JoinWorker(fineWorker_);  // it has posted its result already
  fineBusy_ = true;
  fineWorker_ = StartWorker(QStringLiteral("fine waveform"), QThread::InheritPriority, [this, path, from, frames] {
    std::vector<float> mixed;
    bool failed = false;
    try {
      if (!fineReader_ || fineReaderPath_ != path) {
        fineReader_ = std::make_unique<TAudioFile2>();
        fineReaderPath_.clear();
        fineReader_->OpenFile(QFile::encodeName(path).toStdString(), 0, 1);
        fineReaderPath_ = path;
      }
      fineReader_->SeekSample(from, 3);
      const SampleBuffer buffer = fineReader_->ReadSamples(static_cast<int>(frames));
      const int channels = std::max(fineReader_->Channels(), 1);
      mixed.assign(buffer.size() / static_cast<std::size_t>(channels), 0.0f);
      for (std::size_t f = 0; f < mixed.size(); ++f) {
        float sum = 0;
        for (int c = 0; c < channels; ++c) sum += buffer[f * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)];
        mixed[f] = sum / static_cast<float>(channels);
      }
    } catch (const std::exception&) {
      fineReader_.reset();
      fineReaderPath_.clear();
      failed = true;  // the peaks (coarser) stay in the picture
    }
    QMetaObject::invokeMethod(
        this,
        [this, path, from, failed, mixed = std::move(mixed)]() mutable {
          fineBusy_ = false;
          if (failed) fineFailedPath_ = path;
          finePath_ = path;
          fineFirst_ = from;
          fineSamples_ = std::move(mixed);
          update();
        },
        Qt::QueuedConnection);
  });
  return false;
}

void WaveformView::DrawSamples(QPainter& p, const QRect& wave) {
  const double mid = wave.top() + wave.height() / 2.0;
  const double half = wave.height() / 2.0 - 1;
  p.setPen(QPen(look_.peaks, 1));
  const double fpp = window_.FramesPerPixel();
  if (fpp >= 1) {
    // Several samples per pixel: their min and max, as the peaks would be.
    for (int x = 0; x < wave.width(); ++x) {
      const auto from = static_cast<std::int64_t>(std::floor(window_.FrameAt(x))) - fineFirst_;
      const auto to = std::max(from + 1, static_cast<std::int64_t>(std::floor(window_.FrameAt(x + 1))) - fineFirst_);
      if (from < 0 || to > static_cast<std::int64_t>(fineSamples_.size())) continue;
      const auto [lo, hi] = std::minmax_element(fineSamples_.begin() + from, fineSamples_.begin() + to);
      p.drawLine(QPointF(wave.left() + x + 0.5, mid - scale_.Height(*hi) * half),
                 QPointF(wave.left() + x + 0.5, mid - scale_.Height(*lo) * half + 1));
    }
    return;
  }
  // Single samples: a line through them, each sample a dot.
  QPolygonF line;
  for (std::size_t i = 0; i < fineSamples_.size(); ++i) {
    const double x = wave.left() + window_.XOf(static_cast<double>(fineFirst_ + static_cast<std::int64_t>(i)));
    if (x < wave.left() - 50 || x > wave.right() + 50) continue;
    line << QPointF(x, mid - scale_.Height(fineSamples_[i]) * half);
  }
  p.drawPolyline(line);
  p.setBrush(look_.peaks);
  for (const QPointF& point : line) p.drawEllipse(point, 1.5, 1.5);
}

void WaveformView::mousePressEvent(QMouseEvent* event) {
  // The header's free space (around its readout) is not part of the wave.
  if (event->button() != Qt::LeftButton || content_.path.isEmpty() || event->position().y() < kHeaderHeight) return;
  const double x = event->position().x() - WaveRect().left();
  const double xBegin = XOf(content_.begin), xEnd = XOf(content_.end);
  // When the marks touch, the one on the side of the pointer is taken.
  const bool nearBegin = std::abs(x - xBegin) <= kHandleReach;
  const bool nearEnd = std::abs(x - xEnd) <= kHandleReach;
  if (nearBegin && (!nearEnd || x < (xBegin + xEnd) / 2 || (xBegin == xEnd && x <= xBegin))) drag_ = Drag::Begin;
  else if (nearEnd) drag_ = Drag::End;
  else drag_ = Drag::Position;
  dragSample_ = window_.SampleAt(x);
  if (drag_ == Drag::Position) followStopped_ = false;  // the user looks where the line goes
  ShowReadout();
  if (drag_ == Drag::Position && PositionPressed) PositionPressed(dragSample_);
  update();
}

void WaveformView::mouseMoveEvent(QMouseEvent* event) {
  const double x = event->position().x() - WaveRect().left();
  if (drag_ == Drag::None) {
    const bool onHandle = !content_.path.isEmpty() &&
                          (std::abs(x - XOf(content_.begin)) <= kHandleReach || std::abs(x - XOf(content_.end)) <= kHandleReach);
    setCursor(onHandle ? Qt::SizeHorCursor : Qt::ArrowCursor);
    return;
  }
  dragSample_ = window_.SampleAt(std::clamp(x, 0.0, double(WaveRect().width())));
  ShowReadout();
  if (drag_ == Drag::Position && PositionMoved) PositionMoved(dragSample_);
  update();
}

void WaveformView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || drag_ == Drag::None) return;
  const Drag drag = drag_;
  drag_ = Drag::None;
  ShowReadout();
  update();
  if (drag == Drag::Position) {
    if (PositionReleased) PositionReleased();
  } else if (MarkDropped) {
    MarkDropped(drag == Drag::Begin, dragSample_);
  }
}

void WaveformView::wheelEvent(QWheelEvent* event) {
  if (content_.path.isEmpty()) return;
  const QPoint delta = event->angleDelta();
  const double x = event->position().x() - WaveRect().left();
  if (event->modifiers() & Qt::ControlModifier) {
    // Whole steps only; a fine wheel gathers its angle until one is full.
    verticalWheel_ += delta.y();
    const int steps = verticalWheel_ / 120;
    verticalWheel_ -= steps * 120;
    ZoomVertically(steps);
    event->accept();
    return;
  }
  if ((event->modifiers() & Qt::ShiftModifier) || delta.x() != 0) {
    const int steps = delta.x() != 0 ? -delta.x() : -delta.y();
    window_.PanPixels(steps / 120.0 * WaveRect().width() / 8.0);
    if (content_.playing) followStopped_ = true;
  } else {
    window_.Zoom(std::pow(1.25, delta.y() / 120.0), x);
  }
  event->accept();
  update();
}

}  // namespace snipwave
