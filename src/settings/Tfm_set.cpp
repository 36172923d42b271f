#include "settings/Tfm_set.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QTabWidget>

#include "components/audio/WmaProfiles.h"
#include "platform/Error.h"
#include "platform/NameTemplate.h"
#include "settings/DialogPlacement.h"
#include "settings/LevelPage.h"
#include "platform/HookedSlot.h"
#include "settings/UpDown.h"

namespace snipwave {

namespace defaults = settings::defaults;
using settings::KeyDefaults;

const QString Tfm_set::kMp3NotSupported = QStringLiteral(
    "This MP3 format is not supported. \rYou have set too high frequency and too low bitrate or otherwise. "
    "\rPlease adjust the frequency or bitrate.");
const QString Tfm_set::kOggNotSupported = QStringLiteral(
    "This OGG format is not supported. \rYou have set too high frequency and too low bitrate or otherwise. "
    "\rPlease adjust the frequency or bitrate.");

namespace {

bool SameKey(const KeyDefaults& a, const KeyDefaults& b) { return a.section == b.section && a.key == b.key; }

QString WriteFailureText() {
  return QString("Unable to write to %1").arg(QString::fromLatin1(settings::kFileName.data(),
                                                                  static_cast<qsizetype>(settings::kFileName.size())));
}

}  // namespace

Tfm_set::Tfm_set(SettingsStore* const& settingsFile, IAudioFile2& writer, IDialogService& dialogs,
                 QWidget* mainWindow)
    : QDialog(mainWindow), settingsFile_(settingsFile), writer_(writer), dialogs_(dialogs), mainWindow_(mainWindow) {
  setObjectName("fm_set");
  BuildControls();
  // Until the first loading the controls hold the factory values, so no list
  // is ever without a selection. No WAV mode is selected yet: a stored mode
  // that is not 0, 1 or 2 leaves it so.
  SetFactoryValues(/*wavMode=*/false);
  ConnectHandlers();
}

void Tfm_set::ConnectHandlers() {
  connect(btn_ok, &QPushButton::clicked, this, HookedSlot([this] { btn_okClick(); }));
  connect(btn_default, &QPushButton::clicked, this, HookedSlot([this] { btn_defaultClick(); }));
  connect(btn_cancel, &QPushButton::clicked, this, HookedSlot([this] { btn_cancelClick(); }));

  // Check boxes and radio buttons: any change of state, from the user or from
  // code, runs the click handling.
  for (QRadioButton* rb : {rb_cdquality, rb_bestsuited, rb_custom})
    connect(rb, &QRadioButton::toggled, this, HookedSlot([this] { rb_cdqualityClick(); }));
  connect(cb_vbr, &QCheckBox::toggled, this, HookedSlot([this] { cb_vbrClick(); }));
  connect(cb_ogg_quality, &QCheckBox::toggled, this, HookedSlot([this] { cb_ogg_qualityClick(); }));

  // Lists: only the user's choice runs the checks (activated is not emitted
  // when code selects an item).
  connect(cb_mp3_frequency, &QComboBox::activated, this, HookedSlot([this] { cb_mp3_frequencyChange(); }));
  connect(cb_mp3_bitrate, &QComboBox::activated, this, HookedSlot([this] { cb_mp3_bitrateChange(); }));
  for (QComboBox* list : {cb_ogg_fre, cb_ogg_bitrate, cb_ogg_minbit, cb_ogg_maxbit})
    connect(list, &QComboBox::activated, this, HookedSlot([this] { OggListChange(); }));

  connect(edt_ogg_quality, &QLineEdit::textChanged, this, HookedSlot([this] { edt_ogg_qualityChange(); }));
  edt_ogg_quality->installEventFilter(this);

  // Not a check: the note under the list only says what a job would refuse,
  // for the user's choice, loading and Default alike.
  connect(cb_wma, &QComboBox::currentIndexChanged, this, HookedSlot([this] { UpdateWmaNote(); }));
  UpdateWmaNote();
}

void Tfm_set::UpdateWmaNote() {
  const int index = cb_wma->currentIndex();
  const std::string reason =
      index >= 0 && index < audio::kWmaProfileCount ? audio::WmaProfileByNumber(index + 1).unsupportedReason : "";
  lbl_wma_note->setText(reason.empty() ? QString()
                                       : "This profile cannot be written: " + QString::fromStdString(reason) + ".");
  lbl_wma_note->setVisible(!reason.empty());
}

void Tfm_set::ShowModal() {
  if (!placed_) {
    CentreOver(*this, mainWindow_, /*clampNegative=*/true);
    placed_ = true;
  }
  exec();
}

void Tfm_set::showEvent(QShowEvent* event) {
  // A spontaneous show is the window system restoring it, not a new showing.
  if (!event->spontaneous()) HookedSlot([this] { FormShow(); })();
  QDialog::showEvent(event);
}

// --- reading and writing the store ---------------------------------------------

int Tfm_set::ReadInteger(const KeyDefaults& key) const {
  SettingsStore* store = Store();
  return store ? store->ReadInteger(key.section, key.key, key.dialogDefault) : key.dialogDefault;
}

bool Tfm_set::ReadFlag(const KeyDefaults& key) const {
  SettingsStore* store = Store();
  return store ? store->ReadBool(key.section, key.key, key.dialogDefault != 0) : key.dialogDefault != 0;
}

// A list index outside the list (only a hand-edited file holds one) reads as
// the key's dialog default.
int Tfm_set::ReadIndex(const KeyDefaults& key, int count) const {
  const int index = ReadInteger(key);
  return (index >= 0 && index < count) ? index : key.dialogDefault;
}

void Tfm_set::FormShow() {
  auto load = [this](QComboBox* list, const KeyDefaults& key) { list->setCurrentIndex(ReadIndex(key, list->count())); };
  auto loadUpDown = [this](UpDown* upDown, const KeyDefaults& key) {
    int value = ReadInteger(key);
    if (value < upDown->Minimum() || value > upDown->Maximum()) value = key.dialogDefault;
    upDown->SetPosition(value);
    upDown->ShowPositionInBuddy();
  };

  load(cb_mp3_bitrate, defaults::kMp3Bitrate);
  load(cb_mp3_channel, defaults::kMp3Channel);
  load(cb_mp3_frequency, defaults::kMp3Frequency);
  loadUpDown(ud_mp3_quality, defaults::kMp3Quality);
  cb_vbr->setChecked(ReadFlag(defaults::kMp3EnableVbr));
  load(cb_mp3_vbr, defaults::kMp3VbrBitrate);
  loadUpDown(ud_mp3_vbr, defaults::kMp3VbrQuality);
  ApplyVbrEnabling();

  // Any other stored mode leaves the radio buttons as they are.
  SelectWavMode(ReadInteger(defaults::kWavMode));
  load(cb_wav_bit, defaults::kWavBit);
  load(cb_wav_channel, defaults::kWavChannel);
  load(cb_wav_frequency, defaults::kWavFrequency);
  ApplyWavEnabling();

  load(cb_wma, defaults::kWmaFormat);

  load(cb_ogg_channel, defaults::kOggChannel);
  load(cb_ogg_fre, defaults::kOggFrequency);
  load(cb_ogg_bitrate, defaults::kOggBitrate);
  load(cb_ogg_maxbit, defaults::kOggMaxBitrate);
  load(cb_ogg_minbit, defaults::kOggMinBitrate);
  cb_ogg_quality->setChecked(ReadFlag(defaults::kOggEnableQuality));
  loadUpDown(ud_ogg_quality, defaults::kOggQuality);
  ApplyOggEnabling();

  SettingsStore* store = Store();
  cb_keep_tags->setChecked(!store || store->ReadBool(settings::section::kFormat, settings::key::kKeepTags, true));
  cb_mp3_lossless->setChecked(store && store->ReadBool(settings::section::kMp3, settings::key::kLossless, false));
  cb_ogg_lossless->setChecked(store && store->ReadBool(settings::section::kOgg, settings::key::kLossless, false));
  const QString names = store ? store->ReadString(settings::section::kFormat, settings::key::kNameTemplate, "") : "";
  edt_name_template->setText(names.trimmed().isEmpty() ? QString(NameTemplate::kDefaultText) : names);
  cb_last_list->setChecked(store && store->ReadBool(settings::section::kFormat, settings::key::kStartWithLastList, false));
  formatPages_->Load(store);
  LoadSilenceValues();
  levelPage_->Load(store);
}

void Tfm_set::LoadSilenceValues() {
  QString error;
  SettingsStore* store = Store();
  loadedSilence_ = store ? ReadSilenceValues(*store, error) : std::optional<SilenceValues>(SilenceValues{});
  // A value that cannot be used: the defaults are shown, and OK puts them in its place.
  ShowSilenceValues(loadedSilence_.value_or(SilenceValues{}));
  if (loadedSilence_) loadedSilence_ = ShownSilenceValues();  // as the controls round them
  lbl_silence_note->setText(error.isEmpty() ? QString() : error + " The defaults are shown; OK writes them.");
  lbl_silence_note->setVisible(!error.isEmpty());
}

SilenceValues Tfm_set::ShownSilenceValues() const {
  return SilenceValues{ud_silence_threshold->value(), ud_silence_length->value()};
}

void Tfm_set::ShowSilenceValues(const SilenceValues& values) {
  ud_silence_threshold->setValue(values.thresholdDb);
  ud_silence_length->setValue(values.minSeconds);
}

std::optional<int> Tfm_set::ControlValue(const KeyDefaults& key, bool& isFlag) const {
  isFlag = false;
  const auto index = [](const QComboBox* list) { return list->currentIndex(); };
  if (SameKey(key, defaults::kMp3Bitrate)) return index(cb_mp3_bitrate);
  if (SameKey(key, defaults::kMp3Channel)) return index(cb_mp3_channel);
  if (SameKey(key, defaults::kMp3Frequency)) return index(cb_mp3_frequency);
  if (SameKey(key, defaults::kMp3Quality)) return ud_mp3_quality->Position();
  if (SameKey(key, defaults::kMp3EnableVbr)) {
    isFlag = true;
    return cb_vbr->isChecked() ? 1 : 0;
  }
  if (SameKey(key, defaults::kMp3VbrBitrate)) return index(cb_mp3_vbr);
  if (SameKey(key, defaults::kMp3VbrQuality)) return ud_mp3_vbr->Position();
  if (SameKey(key, defaults::kWavMode)) {
    const int mode = SelectedWavMode();
    return mode < 0 ? std::nullopt : std::optional<int>(mode);
  }
  if (SameKey(key, defaults::kWavBit)) return index(cb_wav_bit);
  if (SameKey(key, defaults::kWavChannel)) return index(cb_wav_channel);
  if (SameKey(key, defaults::kWavFrequency)) return index(cb_wav_frequency);
  if (SameKey(key, defaults::kWmaFormat)) return index(cb_wma);
  if (SameKey(key, defaults::kOggChannel)) return index(cb_ogg_channel);
  if (SameKey(key, defaults::kOggFrequency)) return index(cb_ogg_fre);
  if (SameKey(key, defaults::kOggBitrate)) return index(cb_ogg_bitrate);
  if (SameKey(key, defaults::kOggMaxBitrate)) return index(cb_ogg_maxbit);
  if (SameKey(key, defaults::kOggMinBitrate)) return index(cb_ogg_minbit);
  if (SameKey(key, defaults::kOggEnableQuality)) {
    isFlag = true;
    return cb_ogg_quality->isChecked() ? 1 : 0;
  }
  if (SameKey(key, defaults::kOggQuality)) return ud_ogg_quality->Position();
  throw Error("The settings dialog has no control for [" + std::string(key.section) + "] \"" +
              std::string(key.key) + "\"");
}

// --- buttons ---------------------------------------------------------------------

void Tfm_set::btn_okClick() {
  if (!cb_ogg_quality->isChecked() && !OggFormatSupported()) {
    dialogs_.ShowInformation(kOggNotSupported);
    return;
  }
  if (!Mp3FormatSupported()) {
    dialogs_.ShowInformation(kMp3NotSupported);
    return;
  }
  SettingsStore* store = Store();
  if (store == nullptr) throw Error(WriteFailureText().toStdString());
  // A template that is not one is refused before anything is written.
  QString templateError;
  const std::optional<NameTemplate> names = NameTemplate::Parse(edt_name_template->text(), &templateError);
  if (!names) {
    dialogs_.ShowInformation(templateError);
    edt_name_template->setFocus();
    return;
  }
  // A failing write throws here: the keys before it stay written, the rest
  // are not, and the dialog stays open.
  for (const KeyDefaults& key : settings::kDialogWriteOrder) {
    bool isFlag = false;
    const std::optional<int> value = ControlValue(key, isFlag);
    if (!value) continue;
    if (isFlag)
      store->WriteBool(key.section, key.key, *value != 0);
    else
      store->WriteInteger(key.section, key.key, *value);
  }
  formatPages_->Write(*store);
  // Written only when it changes: a file without the key means "on", and the
  // format keys above stay the whole file of a first OK.
  const bool keepTags = cb_keep_tags->isChecked();
  if (keepTags != store->ReadBool(settings::section::kFormat, settings::key::kKeepTags, true))
    store->WriteBool(settings::section::kFormat, settings::key::kKeepTags, keepTags);
  const bool lossless = cb_mp3_lossless->isChecked();
  if (lossless != store->ReadBool(settings::section::kMp3, settings::key::kLossless, false))
    store->WriteBool(settings::section::kMp3, settings::key::kLossless, lossless);
  const bool oggLossless = cb_ogg_lossless->isChecked();
  if (oggLossless != store->ReadBool(settings::section::kOgg, settings::key::kLossless, false))
    store->WriteBool(settings::section::kOgg, settings::key::kLossless, oggLossless);
  // The default stays out of a file that has no template.
  const std::optional<NameTemplate> stored = NameTemplate::Parse(
      store->ReadString(settings::section::kFormat, settings::key::kNameTemplate, ""));
  if (!stored || stored->Text() != names->Text())
    store->WriteString(settings::section::kFormat, settings::key::kNameTemplate, names->Text());
  const bool lastList = cb_last_list->isChecked();
  if (lastList != store->ReadBool(settings::section::kFormat, settings::key::kStartWithLastList, false))
    store->WriteBool(settings::section::kFormat, settings::key::kStartWithLastList, lastList);
  // Likewise the silence keys: only a change is written, so a value typed
  // into the file by hand, finer than the controls show, stays as it is.
  if (ShownSilenceValues() != loadedSilence_) {
    WriteSilenceValues(*store, ShownSilenceValues());
    loadedSilence_ = ShownSilenceValues();
    lbl_silence_note->hide();
  }
  levelPage_->Save(*store);
  accept();
}

void Tfm_set::btn_defaultClick() { SetFactoryValues(/*wavMode=*/true); }

void Tfm_set::SetFactoryValues(bool wavMode) {
  cb_mp3_bitrate->setCurrentIndex(defaults::kMp3Bitrate.dialogDefault);
  cb_mp3_channel->setCurrentIndex(defaults::kMp3Channel.dialogDefault);
  cb_mp3_frequency->setCurrentIndex(defaults::kMp3Frequency.dialogDefault);
  ud_mp3_quality->SetPosition(defaults::kMp3Quality.dialogDefault);
  cb_vbr->setChecked(defaults::kMp3EnableVbr.dialogDefault != 0);
  cb_mp3_vbr->setCurrentIndex(defaults::kMp3VbrBitrate.dialogDefault);
  cb_keep_tags->setChecked(true);
  edt_name_template->setText(NameTemplate::kDefaultText);
  cb_mp3_lossless->setChecked(false);
  cb_ogg_lossless->setChecked(false);
  cb_last_list->setChecked(false);
  ShowSilenceValues(SilenceValues{});
  formatPages_->SetFactoryValues();
  levelPage_->ShowDefaults();
  ud_mp3_vbr->SetPosition(defaults::kMp3VbrQuality.dialogDefault);
  if (wavMode) SelectWavMode(defaults::kWavMode.dialogDefault);
  cb_wav_bit->setCurrentIndex(defaults::kWavBit.dialogDefault);
  cb_wav_channel->setCurrentIndex(defaults::kWavChannel.dialogDefault);
  cb_wav_frequency->setCurrentIndex(defaults::kWavFrequency.dialogDefault);
  cb_wma->setCurrentIndex(defaults::kWmaFormat.dialogDefault);
  cb_ogg_channel->setCurrentIndex(defaults::kOggChannel.dialogDefault);
  cb_ogg_fre->setCurrentIndex(defaults::kOggFrequency.dialogDefault);
  cb_ogg_bitrate->setCurrentIndex(defaults::kOggBitrate.dialogDefault);
  cb_ogg_maxbit->setCurrentIndex(defaults::kOggMaxBitrate.dialogDefault);
  cb_ogg_minbit->setCurrentIndex(defaults::kOggMinBitrate.dialogDefault);
  cb_ogg_quality->setChecked(defaults::kOggEnableQuality.dialogDefault != 0);
  ud_ogg_quality->SetPosition(defaults::kOggQuality.dialogDefault);
  for (UpDown* upDown : {ud_mp3_quality, ud_mp3_vbr, ud_ogg_quality}) upDown->ShowPositionInBuddy();
  ApplyVbrEnabling();
  ApplyWavEnabling();
  ApplyOggEnabling();
}

void Tfm_set::btn_cancelClick() { reject(); }

// --- radio buttons and check boxes ----------------------------------------------

int Tfm_set::SelectedWavMode() const {
  if (rb_cdquality->isChecked()) return settings::kWavModeCdQuality;
  if (rb_bestsuited->isChecked()) return settings::kWavModeBestSuited;
  if (rb_custom->isChecked()) return settings::kWavModeCustom;
  return -1;
}

void Tfm_set::SelectWavMode(int mode) {
  if (mode == settings::kWavModeCdQuality) rb_cdquality->setChecked(true);
  if (mode == settings::kWavModeBestSuited) rb_bestsuited->setChecked(true);
  if (mode == settings::kWavModeCustom) rb_custom->setChecked(true);
}

void Tfm_set::ApplyWavEnabling() {
  const bool custom = rb_custom->isChecked();
  for (QComboBox* list : {cb_wav_frequency, cb_wav_channel, cb_wav_bit}) list->setEnabled(custom);
}

void Tfm_set::ApplyVbrEnabling() {
  // The VBR quality edit stays enabled; it is read-only anyway.
  cb_mp3_vbr->setEnabled(cb_vbr->isChecked());
  ud_mp3_vbr->setEnabled(cb_vbr->isChecked());
}

void Tfm_set::ApplyOggEnabling() {
  const bool quality = cb_ogg_quality->isChecked();
  ud_ogg_quality->setEnabled(quality);
  edt_ogg_quality->setEnabled(quality);
  cb_ogg_minbit->setEnabled(!quality);
  cb_ogg_maxbit->setEnabled(!quality);
}

void Tfm_set::rb_cdqualityClick() { ApplyWavEnabling(); }
void Tfm_set::cb_vbrClick() { ApplyVbrEnabling(); }
void Tfm_set::cb_ogg_qualityClick() { ApplyOggEnabling(); }

// --- format checks ----------------------------------------------------------------

bool Tfm_set::Mp3FormatSupported() {
  return writer_.CheckMp3Format(settings::kSampleRates.at(static_cast<std::size_t>(cb_mp3_frequency->currentIndex())),
                                settings::kBitRates.at(static_cast<std::size_t>(cb_mp3_bitrate->currentIndex())),
                                cb_mp3_channel->currentIndex() + 1);
}

// The minimum list's value goes in the maximum's place and the maximum's in
// the minimum's: the dialog's one order, the reverse of the jobs'.
bool Tfm_set::OggFormatSupported() {
  const auto kbps = [](const QComboBox* list) {
    return settings::kBitRates.at(static_cast<std::size_t>(list->currentIndex()));
  };
  return writer_.CheckOggFormat(settings::kSampleRates.at(static_cast<std::size_t>(cb_ogg_fre->currentIndex())),
                                cb_ogg_channel->currentIndex() + 1, kbps(cb_ogg_bitrate), kbps(cb_ogg_minbit),
                                kbps(cb_ogg_maxbit));
}

void Tfm_set::cb_mp3_frequencyChange() {
  if (!Mp3FormatSupported()) dialogs_.ShowInformation(kMp3NotSupported);
}

void Tfm_set::cb_mp3_bitrateChange() { cb_mp3_frequencyChange(); }

void Tfm_set::OggListChange() {
  if (cb_ogg_quality->isChecked()) return;
  if (!OggFormatSupported()) dialogs_.ShowInformation(kOggNotSupported);
}

// --- the OGG quality edit ---------------------------------------------------------

bool Tfm_set::eventFilter(QObject* watched, QEvent* event) {
  if (watched == edt_ogg_quality) {
    if (event->type() == QEvent::KeyPress && edt_ogg_qualityKeyPress(static_cast<QKeyEvent*>(event))) return true;
    if (event->type() == QEvent::FocusOut) {
      // Leaving for another control of the dialog; not the window losing
      // focus or a context menu opening over the edit.
      const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
      if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
        HookedSlot([this] { edt_ogg_qualityExit(); })();
    }
  }
  return QDialog::eventFilter(watched, event);
}

// A typed character that is not a digit acts as a backspace: it deletes the
// character before the caret (or the selection) instead of being inserted.
// Control keys (Backspace, Enter, Ctrl+V, ...) are left alone.
bool Tfm_set::edt_ogg_qualityKeyPress(QKeyEvent* key) {
  const QString text = key->text();
  if (text.size() != 1 || !text.at(0).isPrint()) return false;
  const QChar c = text.at(0);
  if (c >= '0' && c <= '9') return false;
  edt_ogg_quality->backspace();
  return true;
}

void Tfm_set::edt_ogg_qualityChange() {
  const QString text = edt_ogg_quality->text();
  if (text.trimmed().isEmpty()) {
    ud_ogg_quality->SetPosition(0);
    return;
  }
  QString number = text;
  number.remove(',');
  std::int32_t value = 0;
  if (!SettingsStore::ParseInteger(number.trimmed(), value))
    throw Error(QString("'%1' is not a valid integer value").arg(number).toStdString());
  ud_ogg_quality->SetPosition(value > 999 ? 1000 : value);
  // A pasted negative number: the position stops at 0 and the edit says so.
  if (value < ud_ogg_quality->Minimum()) ud_ogg_quality->ShowPositionInBuddy();
}

void Tfm_set::edt_ogg_qualityExit() {
  if (edt_ogg_quality->text().isEmpty()) edt_ogg_quality->setText("0");
}

}  // namespace snipwave
