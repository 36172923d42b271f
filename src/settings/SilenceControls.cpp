#include "settings/SilenceControls.h"

#include <QDoubleSpinBox>
#include <QLocale>

#include "settings/SilenceValues.h"

namespace snipwave {

namespace {

QDoubleSpinBox* NewBox(const char* name, double low, double high, int decimals, double step, const char* suffix,
                       QWidget* parent) {
  auto* box = new QDoubleSpinBox(parent);
  box->setObjectName(name);
  box->setLocale(QLocale::c());
  box->setRange(low, high);
  box->setDecimals(decimals);
  box->setSingleStep(step);
  box->setSuffix(QString::fromLatin1(suffix));
  return box;
}

}  // namespace

QDoubleSpinBox* NewSilenceThresholdBox(QWidget* parent) {
  return NewBox("ud_silence_threshold", kLowestSilenceThresholdDb, kHighestSilenceThresholdDb, 1, 1.0, " dBFS",
                parent);
}

QDoubleSpinBox* NewSilenceLengthBox(QWidget* parent) {
  return NewBox("ud_silence_length", 0.001, kLongestSilenceSeconds, 3, 0.1, " s", parent);
}

}  // namespace snipwave
