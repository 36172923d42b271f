#pragma once

#include <QComboBox>

#include "state/TrackListView.h"

namespace snipwave {

// cm_Format: the output format list in OutputType order, "MP3" chosen at
// start in every run. "M4A" is AAC in M4A, "ALAC" Apple Lossless in M4A.
class FormatChooser final : public QComboBox, public IFormatChooser {
 public:
  explicit FormatChooser(QWidget* parent = nullptr) : QComboBox(parent) {
    setObjectName("cm_Format");
    addItems({"MP3", "WAV", "WMA", "OGG", "FLAC", "OPUS", "M4A", "ALAC"});
    setCurrentIndex(0);
  }
  int ItemIndex() const override { return currentIndex(); }
  void SetEnabled(bool enabled) override { setEnabled(enabled); }
  bool IsEnabled() const override { return isEnabled(); }
};

}  // namespace snipwave
