#pragma once

#include "settings/SettingsStore.h"

class QCheckBox;
class QComboBox;
class QSpinBox;
class QTabWidget;

namespace snipwave {

// The settings dialog's pages of the formats after OGG: "FLAC", "OPUS",
// "M4A" (AAC) and "ALAC", added to the dialog's page control after "OGG".
// The controls carry their names as objectName ("cb_flac_level", ...).
// Unlike the older pages they show the values the file stores, not indexes.
class FormatPages {
 public:
  explicit FormatPages(QTabWidget* pages);

  // The stored values into the controls; a value outside its bounds (a
  // hand-edited file) shows the key's dialog default. No store: the defaults.
  void Load(const SettingsStore* store);
  void SetFactoryValues();
  // Writes each key whose control differs from what the file reads for it,
  // in settings::kNewFormatWriteOrder; a file that never held these keys and
  // whose controls show the defaults stays as it is. The "lossless" flags
  // are written only when they change. A failed write throws.
  void Write(SettingsStore& store) const;

 private:
  QComboBox* cb_flac_level = nullptr;    // [flac] "compression", 0..8
  QComboBox* cb_flac_bit = nullptr;      // [flac] "bit", 16 / 24
  QSpinBox* ud_opus_bitrate = nullptr;   // [opus] "bitrate", kbit/s
  QCheckBox* cb_opus_vbr = nullptr;      // [opus] "enable vbr"
  QComboBox* cb_opus_application = nullptr;  // [opus] "application": music / speech
  QComboBox* cb_opus_channel = nullptr;  // [opus] "channel": as the source / mono / stereo
  QSpinBox* ud_m4a_bitrate = nullptr;    // [m4a] "bitrate", kbit/s
  QComboBox* cb_alac_bit = nullptr;      // [alac] "bit", 16 / 24
  QCheckBox* cb_flac_lossless = nullptr;  // [flac] "lossless"
  QCheckBox* cb_opus_lossless = nullptr;  // [opus] "lossless"
  QCheckBox* cb_m4a_lossless = nullptr;   // [m4a] "lossless"
};

}  // namespace snipwave
