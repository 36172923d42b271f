#pragma once

#include <QString>
#include <QWidget>
#include <functional>

#include "waveform/WaveformChoices.h"

class QComboBox;
class QLabel;
class QToolButton;

namespace snipwave {

// The strip above the waveform: the exact readout on the left, and on the
// right the vertical zoom (down, the gain, up), the dB scale switch and how
// the view follows the play line. None of its controls takes the keyboard
// focus, so the window's keys keep working after a click on them.
class WaveformHeader final : public QWidget {
 public:
  explicit WaveformHeader(QWidget* parent = nullptr);

  // The readout, or its short form when the strip is too narrow for it
  // (cut with "…" when even that does not fit); the full text is then the
  // label's tooltip.
  void SetReadout(const QString& text, const QString& shortText);
  const QString& Readout() const { return readout_; }
  void ShowGain(int gainDb);
  void ShowChoices(const WaveformChoices& choices);
  void SetLook(const QFont& font, const QColor& text);

  std::function<void(int steps)> VerticalZoom;
  std::function<void(bool on)> DbScaleChosen;
  // Also when the mode shown is chosen again (which takes up following anew).
  std::function<void(FollowMode mode)> FollowChosen;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void ShowReadout();

  QString readout_;
  QString shortReadout_;
  QLabel* readoutLabel_ = nullptr;
  QToolButton* zoomOut_ = nullptr;
  QLabel* gain_ = nullptr;
  QToolButton* zoomIn_ = nullptr;
  QToolButton* db_ = nullptr;
  QComboBox* follow_ = nullptr;
};

}  // namespace snipwave
