#include "settings/LevelPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cmath>

#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

namespace snipwave {

namespace {

QString Utf8(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

// The longest fade the page takes, in ms (as the jobs do).
constexpr int kLongestFadeMs = 600000;

}  // namespace

LevelPage::LevelPage(QWidget* parent) : QWidget(parent) {
  setObjectName("TabSheetLevel");
  namespace k = settings::key;
  auto* form = new QFormLayout;
  form->setContentsMargins(4, 4, 4, 4);
  form->setVerticalSpacing(2);

  const auto ms = [&](std::string_view key, const char* caption, int high, int defaultValue) {
    auto* box = new QSpinBox(this);
    box->setObjectName(Utf8(key));
    box->setRange(0, high);
    box->setSuffix(" ms");
    form->addRow(caption, box);
    fields_.push_back({key, QString::number(defaultValue), [box] { return QString::number(box->value()); },
                       [box](const QString& text) {
                         bool ok = false;
                         const int v = text.toInt(&ok);
                         if (!ok || v < box->minimum() || v > box->maximum()) return false;
                         box->setValue(v);
                         return true;
                       }});
  };
  const auto choice = [&](std::string_view key, const char* caption, std::vector<std::string_view> values,
                          std::string_view defaultValue) {
    auto* box = new QComboBox(this);
    box->setObjectName(Utf8(key));
    for (std::string_view v : values) box->addItem(Utf8(v));
    form->addRow(caption, box);
    fields_.push_back({key, Utf8(defaultValue), [box] { return box->currentText(); },
                       [box](const QString& text) {
                         const int index = box->findText(text.toLower());
                         if (index < 0) return false;
                         box->setCurrentIndex(index);
                         return true;
                       }});
  };
  const auto number = [&](std::string_view key, const char* caption, double low, double high, double defaultValue,
                          const char* suffix) {
    auto* box = new QDoubleSpinBox(this);
    box->setObjectName(Utf8(key));
    box->setRange(low, high);
    box->setDecimals(1);
    box->setSingleStep(0.5);
    box->setSuffix(suffix);
    form->addRow(caption, box);
    fields_.push_back({key, QString::number(defaultValue, 'g', 15),
                       [box] { return QString::number(box->value(), 'g', 15); },
                       [box](const QString& text) {
                         bool ok = false;
                         const double v = text.toDouble(&ok);
                         if (!ok || !std::isfinite(v) || v < box->minimum() || v > box->maximum()) return false;
                         box->setValue(v);
                         return true;
                       }});
  };
  const auto flag = [&](std::string_view key, const char* caption) {
    auto* box = new QCheckBox(caption, this);
    box->setObjectName(Utf8(key));
    form->addRow(box);
    fields_.push_back({key, "0", [box] { return QString(box->isChecked() ? "1" : "0"); },
                       [box](const QString& text) {
                         if (text != "0" && text != "1") return false;
                         box->setChecked(text == "1");
                         return true;
                       }});
  };
  const std::vector<std::string_view> curves = {k::kCurveLinear, k::kCurveEqualPower, k::kCurveLog};
  ms(k::kFadeInMs, "Fade in:", kLongestFadeMs, 0);
  ms(k::kFadeOutMs, "Fade out:", kLongestFadeMs, 0);
  choice(k::kFadeCurve, "Fade curve:", curves, k::kCurveLinear);
  ms(k::kCrossfadeMs, "Join crossfade:", kLongestFadeMs, 0);
  choice(k::kCrossfadeCurve, "Crossfade curve:", curves, k::kCurveEqualPower);
  ms(k::kEdgeFadeMs, "Edge fade (against clicks):", 1000, 0);
  choice(k::kMatchLoudness, "Join: match loudness:", {k::kMatchOff, k::kMatchTarget, k::kMatchFirst}, k::kMatchOff);
  flag(k::kNormalise, "Cut: normalise each output to the target");
  number(k::kTargetLufs, "Target loudness:", -70.0, 0.0, settings::kDefaultTargetLufs, " LUFS");
  number(k::kTruePeakDbtp, "True-peak ceiling:", -30.0, 0.0, settings::kDefaultTruePeakDbtp, " dBTP");
  flag(k::kReplayGain, "Write ReplayGain 2.0 tags");
  flag(k::kSnapToZero, "Snap marks to the nearest zero crossing");
  ms(k::kSnapWindowMs, "Snap window:", 1000, settings::kDefaultSnapWindowMs);

  note_ = new QLabel(this);
  note_->setObjectName("lbl_level_note");
  note_->setWordWrap(true);
  note_->hide();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addLayout(form);
  layout->addWidget(note_);
  layout->addStretch();
  ShowDefaults();
}

void LevelPage::Load(const SettingsStore* store) {
  QStringList unusable;
  for (Field& field : fields_) {
    const QString text =
        store ? store->ReadString(settings::section::kLevel, field.key, QString()).trimmed() : QString();
    if (text.isEmpty() || !field.set(text)) {
      field.set(field.defaultText);
      if (!text.isEmpty()) {
        unusable << Utf8(field.key) + "=" + text;
        field.loaded.clear();  // OK replaces it with what is shown
        continue;
      }
    }
    field.loaded = field.get();
  }
  note_->setText(unusable.isEmpty() ? QString()
                                    : "[Level] " + unusable.join(", ") + " cannot be used; the defaults are shown; OK writes them.");
  note_->setVisible(!unusable.isEmpty());
}

void LevelPage::Save(SettingsStore& store) {
  for (Field& field : fields_) {
    const QString text = field.get();
    if (text == field.loaded) continue;
    store.WriteString(settings::section::kLevel, field.key, text);
    field.loaded = text;
  }
}

void LevelPage::ShowDefaults() {
  for (Field& field : fields_) field.set(field.defaultText);
}

}  // namespace snipwave
