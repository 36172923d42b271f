#pragma once

class QDoubleSpinBox;
class QWidget;

namespace snipwave {

// The two controls of a silence, alike on the settings dialog (group "Split
// at silences") and in the split dialog: the threshold in dBFS ("ud_silence_threshold",
// -200.0 to 0.0) and the minimum length in seconds ("ud_silence_length",
// 0.001 to a day). Both take a point as the settings file writes it.
QDoubleSpinBox* NewSilenceThresholdBox(QWidget* parent);
QDoubleSpinBox* NewSilenceLengthBox(QWidget* parent);

}  // namespace snipwave
