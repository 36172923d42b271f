#pragma once

#include <QDialog>
#include <memory>
#include <optional>

class QLabel;

#include "components/audio/AudioInterfaces.h"
#include "platform/DialogService.h"
#include "settings/FormatPages.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "settings/SilenceValues.h"

class QCheckBox;
class QDoubleSpinBox;
class QKeyEvent;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QWidget;

namespace snipwave {

class LevelPage;
class UpDown;

// The settings dialog: the parameters of the output formats (the pages after
// OGG are FormatPages).
//
// Every showing loads the controls from the settings file with the dialog's
// defaults; OK checks the OGG (unless quality mode is on) and MP3 choices with
// the writer, then writes every key of the four older formats (of the pages
// after OGG only those that differ from the file) and closes; Default puts the
// factory values into the controls and writes nothing; Cancel and the close
// box write nothing. Created once and only hidden between showings, so its
// place on the screen and the page in front survive from one showing to the
// next. Every control carries its name as objectName ("cb_mp3_bitrate", ...).
class Tfm_set final : public QDialog {
  Q_OBJECT

 public:
  // Client area of the dialog, in pixels (grown only if the fonts need more).
  static constexpr int kClientWidth = 391;
  static constexpr int kClientHeight = 345;

  // settingsFile: the main window's one store; read through the reference at
  // every use, since the store object may be replaced or released (null).
  // writer: the writer component, asked CheckMp3Format / CheckOggFormat.
  // dialogs: shows the two "not supported" messages.
  // mainWindow: the dialog is centred over it the first time (and is its child).
  Tfm_set(SettingsStore* const& settingsFile, IAudioFile2& writer, IDialogService& dialogs,
          QWidget* mainWindow);

  // The "set" command: shows the dialog modally and returns when it has
  // closed, however it was closed.
  void ShowModal();

  // Event handlers, by the names the form binds. Public so that a caller can
  // run one as the user would; btn_okClick lets a failed write's
  // snipwave::Error ("Unable to write to Snipwave.ini") out to its caller
  // (from a click, the application's hook), and the dialog stays open.
  void FormShow();
  void btn_okClick();
  void btn_defaultClick();
  void btn_cancelClick();

  // The texts of the two messages ("\r" breaks the line in the box).
  static const QString kMp3NotSupported;
  static const QString kOggNotSupported;

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  QWidget* BuildWavPage();
  QWidget* BuildMp3Page();
  QWidget* BuildWmaPage();
  QWidget* BuildOggPage();
  QWidget* BuildSilenceGroup();
  void ConnectHandlers();

  void rb_cdqualityClick();
  void cb_vbrClick();
  void cb_ogg_qualityClick();
  void cb_mp3_frequencyChange();
  void cb_mp3_bitrateChange();
  void OggListChange();  // cb_ogg_fre/_bitrate/_minbit/_maxbitChange
  bool edt_ogg_qualityKeyPress(QKeyEvent* key);
  void edt_ogg_qualityChange();
  void edt_ogg_qualityExit();
  void UpdateWmaNote();  // follows cb_wma, whoever changes it

  // The dialog defaults into the controls (Default's table).
  void SetFactoryValues(bool wavMode);
  void ApplyWavEnabling();
  void ApplyVbrEnabling();
  void ApplyOggEnabling();
  bool Mp3FormatSupported();
  bool OggFormatSupported();
  int SelectedWavMode() const;  // -1 when no mode is selected
  void SelectWavMode(int mode);
  // The value OK writes for a key, or nullopt for [wav] "mode" with no mode
  // selected; flags are 0 / 1 and written as flags.
  std::optional<int> ControlValue(const settings::KeyDefaults& key, bool& isFlag) const;
  int ReadIndex(const settings::KeyDefaults& key, int count) const;
  int ReadInteger(const settings::KeyDefaults& key) const;
  bool ReadFlag(const settings::KeyDefaults& key) const;
  SettingsStore* Store() const { return settingsFile_; }
  void LoadSilenceValues();
  SilenceValues ShownSilenceValues() const;
  void ShowSilenceValues(const SilenceValues& values);

  SettingsStore* const& settingsFile_;
  IAudioFile2& writer_;
  IDialogService& dialogs_;
  QWidget* mainWindow_;
  bool placed_ = false;

  QPushButton* btn_ok = nullptr;
  QPushButton* btn_default = nullptr;
  QPushButton* btn_cancel = nullptr;
  QGroupBox* GroupBox1 = nullptr;
  QTabWidget* pc = nullptr;

  QRadioButton* rb_cdquality = nullptr;
  QRadioButton* rb_bestsuited = nullptr;
  QRadioButton* rb_custom = nullptr;
  QComboBox* cb_wav_frequency = nullptr;
  QComboBox* cb_wav_channel = nullptr;
  QComboBox* cb_wav_bit = nullptr;

  QComboBox* cb_mp3_frequency = nullptr;
  QComboBox* cb_mp3_bitrate = nullptr;
  QComboBox* cb_mp3_channel = nullptr;
  QLineEdit* edt_mp3_quality = nullptr;
  UpDown* ud_mp3_quality = nullptr;
  QCheckBox* cb_vbr = nullptr;
  QComboBox* cb_mp3_vbr = nullptr;
  QLineEdit* edt_mp3_vbr = nullptr;
  UpDown* ud_mp3_vbr = nullptr;

  QComboBox* cb_wma = nullptr;
  QLabel* lbl_wma_note = nullptr;  // why the chosen profile cannot be written; hidden otherwise

  QComboBox* cb_ogg_fre = nullptr;
  QComboBox* cb_ogg_bitrate = nullptr;
  QComboBox* cb_ogg_channel = nullptr;
  QCheckBox* cb_ogg_quality = nullptr;
  QLineEdit* edt_ogg_quality = nullptr;
  UpDown* ud_ogg_quality = nullptr;
  QComboBox* cb_ogg_minbit = nullptr;
  QComboBox* cb_ogg_maxbit = nullptr;
  QCheckBox* cb_keep_tags = nullptr;  // [Format] "KeepTags"
  QLineEdit* edt_name_template = nullptr;  // [Format] "NameTemplate"
  QCheckBox* cb_last_list = nullptr;  // [Format] "StartWithLastList"
  QCheckBox* cb_mp3_lossless = nullptr;  // [mp3] "lossless"
  QCheckBox* cb_ogg_lossless = nullptr;  // [ogg] "lossless"

  // The group "Split at silences": what "Split at silences" takes for a silence.
  QDoubleSpinBox* ud_silence_threshold = nullptr;  // [Silence] "ThresholdDb", dBFS
  QDoubleSpinBox* ud_silence_length = nullptr;     // [Silence] "MinSeconds", seconds
  QLabel* lbl_silence_note = nullptr;              // names a stored value that could not be used
  // What loading showed; OK writes the two keys only when the controls differ
  // from it (none: the file held a value that could not be used).
  std::optional<SilenceValues> loadedSilence_;
  std::unique_ptr<FormatPages> formatPages_;  // FLAC, OPUS, M4A, ALAC
  LevelPage* levelPage_ = nullptr;  // the page "Level": every [Level] key
};

}  // namespace snipwave
