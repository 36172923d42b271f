#include "settings/FormatPages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "platform/Error.h"
#include "settings/SettingsKeys.h"

namespace snipwave {

namespace {

namespace defaults = settings::defaults;
using settings::KeyDefaults;

constexpr int kCompactSpacing = 3;

// The explanatory lines, in a smaller font, as on the older pages.
QLabel* Note(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  QFont font = label->font();
  if (font.pointSizeF() > 0) font.setPointSizeF(font.pointSizeF() - 1);
  label->setFont(font);
  label->setWordWrap(true);
  return label;
}

QComboBox* List(const char* name, const QStringList& items, QWidget* parent) {
  auto* list = new QComboBox(parent);
  list->setObjectName(name);
  list->addItems(items);
  return list;
}

QSpinBox* Kbps(const char* name, int minimum, int maximum, QWidget* parent) {
  auto* box = new QSpinBox(parent);
  box->setObjectName(name);
  box->setRange(minimum, maximum);
  box->setSuffix(" Kbps");
  return box;
}

// A page holding one "General Options" group whose grid `fill` fills.
template <typename Fill>
QWidget* Page(QTabWidget* pages, const char* name, const QString& title, Fill fill) {
  auto* page = new QWidget;
  page->setObjectName(name);
  auto* general = new QGroupBox("General Options", page);
  auto* grid = new QGridLayout(general);
  grid->setVerticalSpacing(kCompactSpacing);
  fill(general, grid);
  grid->setColumnStretch(2, 1);
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(general);
  layout->addStretch();
  pages->addTab(page, title);
  return page;
}

void AddRow(QGridLayout* grid, int row, const QString& caption, QWidget* control, QWidget* parent) {
  auto* label = new QLabel(caption, parent);
  label->setBuddy(control);
  grid->addWidget(label, row, 0);
  grid->addWidget(control, row, 1);
}

const QStringList kBitTexts = {"16 bps", "24 bps"};

int StoredInteger(const SettingsStore* store, const KeyDefaults& key) {
  return store ? store->ReadInteger(key.section, key.key, key.dialogDefault) : key.dialogDefault;
}

int Bounded(const SettingsStore* store, const KeyDefaults& key, int minimum, int maximum) {
  const int value = StoredInteger(store, key);
  return value < minimum || value > maximum ? key.dialogDefault : value;
}

// [.. ] "bit" as the index of kBitTexts; 16 for any value but 16 and 24.
int BitIndex(const SettingsStore* store, const KeyDefaults& key) {
  const int bits = StoredInteger(store, key);
  for (std::size_t i = 0; i < settings::kLosslessBits.size(); ++i)
    if (settings::kLosslessBits[i] == bits) return static_cast<int>(i);
  return key.dialogDefault == settings::kLosslessBits[1] ? 1 : 0;
}

int BitsOf(const QComboBox* list) {
  return settings::kLosslessBits.at(static_cast<std::size_t>(list->currentIndex()));
}

bool SameKey(const KeyDefaults& a, const KeyDefaults& b) { return a.section == b.section && a.key == b.key; }

// "Keep the frames (no re-encoding)": the packet copy of a source of the
// page's own format; `codec` names what is copied.
QCheckBox* KeepFrames(const char* name, const QString& codec, QWidget* parent) {
  auto* box = new QCheckBox("Keep the frames (no re-encoding)", parent);
  box->setObjectName(name);
  box->setToolTip(codec + " sources whose frequency and channels the output keeps: the packets inside each range are "
                          "copied as they are and the container records where the range begins and ends, so the "
                          "output is exact to the sample without a second generation of loss. Other sources are "
                          "re-encoded as set above.");
  return box;
}

bool StoredFlag(const SettingsStore* store, const KeyDefaults& key) {
  return store ? store->ReadBool(key.section, key.key, key.dialogDefault != 0) : key.dialogDefault != 0;
}

void WriteFlagIfChanged(SettingsStore& store, const KeyDefaults& key, bool checked) {
  if (checked != store.ReadBool(key.section, key.key, key.dialogDefault != 0))
    store.WriteBool(key.section, key.key, checked);
}

}  // namespace

FormatPages::FormatPages(QTabWidget* pages) {
  Page(pages, "TabSheet5", "FLAC", [this](QWidget* group, QGridLayout* grid) {
    QStringList levels;
    for (int level = settings::kFlacCompressionMin; level <= settings::kFlacCompressionMax; ++level)
      levels << QString::number(level);
    levels.front() += " (fastest)";
    levels.back() += " (smallest)";
    cb_flac_level = List("cb_flac_level", levels, group);
    cb_flac_bit = List("cb_flac_bit", kBitTexts, group);
    AddRow(grid, 0, "Compression: ", cb_flac_level, group);
    AddRow(grid, 1, "Bit Per Sample: ", cb_flac_bit, group);
    grid->addWidget(Note("Lossless at the source's frequency and channels; a higher compression gives a "
                         "smaller file, not another sound.", group), 2, 0, 1, 3);
    cb_flac_lossless = KeepFrames("cb_flac_lossless", "FLAC", group);
    grid->addWidget(cb_flac_lossless, 3, 0, 1, 3);
  });
  Page(pages, "TabSheet6", "OPUS", [this](QWidget* group, QGridLayout* grid) {
    ud_opus_bitrate = Kbps("ud_opus_bitrate", settings::kOpusKbpsMin, settings::kOpusKbpsMax, group);
    cb_opus_vbr = new QCheckBox("Enable VBR", group);
    cb_opus_vbr->setObjectName("cb_opus_vbr");
    cb_opus_application = List("cb_opus_application", {"Music (audio)", "Speech (voip)"}, group);
    cb_opus_channel = List("cb_opus_channel", {"As the source", "Mono", "Stereo"}, group);
    AddRow(grid, 0, "Bitrate: ", ud_opus_bitrate, group);
    grid->addWidget(cb_opus_vbr, 1, 1);
    AddRow(grid, 2, "Tuned for: ", cb_opus_application, group);
    AddRow(grid, 3, "Channel: ", cb_opus_channel, group);
    grid->addWidget(Note("Always 48000 Hz: other frequencies are resampled. 6 Kbps - speech at its "
                         "smallest, 510 Kbps - the most Opus keeps.", group), 4, 0, 1, 3);
    cb_opus_lossless = KeepFrames("cb_opus_lossless", "Opus", group);
    grid->addWidget(cb_opus_lossless, 5, 0, 1, 3);
  });
  Page(pages, "TabSheet7", "M4A", [this](QWidget* group, QGridLayout* grid) {
    ud_m4a_bitrate = Kbps("ud_m4a_bitrate", settings::kAacKbpsMin, settings::kAacKbpsMax, group);
    AddRow(grid, 0, "AAC Bitrate: ", ud_m4a_bitrate, group);
    grid->addWidget(Note("AAC in M4A at the source's frequency and channels; players that honour the "
                         "gapless information play exactly the range.", group), 1, 0, 1, 3);
    cb_m4a_lossless = KeepFrames("cb_m4a_lossless", "AAC", group);
    grid->addWidget(cb_m4a_lossless, 2, 0, 1, 3);
  });
  Page(pages, "TabSheet8", "ALAC", [this](QWidget* group, QGridLayout* grid) {
    cb_alac_bit = List("cb_alac_bit", kBitTexts, group);
    AddRow(grid, 0, "Bit Per Sample: ", cb_alac_bit, group);
    grid->addWidget(Note("Apple Lossless in M4A (.m4a) at the source's frequency and channels.", group), 1, 0, 1,
                    3);
  });
  SetFactoryValues();
}

void FormatPages::Load(const SettingsStore* store) {
  cb_flac_level->setCurrentIndex(Bounded(store, defaults::kFlacCompression, settings::kFlacCompressionMin,
                                         settings::kFlacCompressionMax));
  cb_flac_bit->setCurrentIndex(BitIndex(store, defaults::kFlacBit));
  ud_opus_bitrate->setValue(Bounded(store, defaults::kOpusBitrate, settings::kOpusKbpsMin, settings::kOpusKbpsMax));
  const KeyDefaults& vbr = defaults::kOpusEnableVbr;
  cb_opus_vbr->setChecked(store ? store->ReadBool(vbr.section, vbr.key, vbr.dialogDefault != 0)
                                : vbr.dialogDefault != 0);
  cb_opus_application->setCurrentIndex(Bounded(store, defaults::kOpusApplication, 0, 1));
  cb_opus_channel->setCurrentIndex(Bounded(store, defaults::kOpusChannel, 0, settings::kOpusChannelMax));
  ud_m4a_bitrate->setValue(Bounded(store, defaults::kM4aBitrate, settings::kAacKbpsMin, settings::kAacKbpsMax));
  cb_alac_bit->setCurrentIndex(BitIndex(store, defaults::kAlacBit));
  cb_flac_lossless->setChecked(StoredFlag(store, defaults::kFlacLossless));
  cb_opus_lossless->setChecked(StoredFlag(store, defaults::kOpusLossless));
  cb_m4a_lossless->setChecked(StoredFlag(store, defaults::kM4aLossless));
}

void FormatPages::SetFactoryValues() { Load(nullptr); }

void FormatPages::Write(SettingsStore& store) const {
  for (const KeyDefaults& key : settings::kNewFormatWriteOrder) {
    if (SameKey(key, defaults::kOpusEnableVbr)) {
      const bool checked = cb_opus_vbr->isChecked();
      if (checked != store.ReadBool(key.section, key.key, key.dialogDefault != 0))
        store.WriteBool(key.section, key.key, checked);
      continue;
    }
    int value = 0;
    if (SameKey(key, defaults::kFlacCompression)) value = cb_flac_level->currentIndex();
    else if (SameKey(key, defaults::kFlacBit)) value = BitsOf(cb_flac_bit);
    else if (SameKey(key, defaults::kOpusBitrate)) value = ud_opus_bitrate->value();
    else if (SameKey(key, defaults::kOpusApplication)) value = cb_opus_application->currentIndex();
    else if (SameKey(key, defaults::kOpusChannel)) value = cb_opus_channel->currentIndex();
    else if (SameKey(key, defaults::kM4aBitrate)) value = ud_m4a_bitrate->value();
    else if (SameKey(key, defaults::kAlacBit)) value = BitsOf(cb_alac_bit);
    else
      throw Error("The settings dialog has no control for [" + std::string(key.section) + "] \"" +
                  std::string(key.key) + "\"");
    if (value != store.ReadInteger(key.section, key.key, key.dialogDefault))
      store.WriteInteger(key.section, key.key, value);
  }
  WriteFlagIfChanged(store, defaults::kFlacLossless, cb_flac_lossless->isChecked());
  WriteFlagIfChanged(store, defaults::kOpusLossless, cb_opus_lossless->isChecked());
  WriteFlagIfChanged(store, defaults::kM4aLossless, cb_m4a_lossless->isChecked());
}

}  // namespace snipwave
