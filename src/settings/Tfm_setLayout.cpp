// The settings dialog's controls: names, captions, item lists and ranges.
// The behaviour is in Tfm_set.cpp.
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <string_view>

#include "components/audio/WmaProfiles.h"
#include "settings/LevelPage.h"
#include "settings/SilenceControls.h"
#include "settings/Tfm_set.h"
#include "settings/UpDown.h"

namespace snipwave {

namespace {

QString Text(std::string_view text) { return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())); }

template <std::size_t N>
QComboBox* List(const char* name, const std::array<std::string_view, N>& items, QWidget* parent) {
  auto* list = new QComboBox(parent);  // not editable: selection only
  list->setObjectName(name);
  for (std::string_view item : items) list->addItem(Text(item));
  return list;
}

QLabel* Caption(const QString& text, QWidget* buddy, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setBuddy(buddy);
  return label;
}

// The explanatory lines on the pages, in a smaller font.
QLabel* Note(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  QFont font = label->font();
  if (font.pointSizeF() > 0) font.setPointSizeF(font.pointSizeF() - 1);
  label->setFont(font);
  return label;
}

QGroupBox* Group(const QString& title, QWidget* parent) {
  auto* group = new QGroupBox(title, parent);
  return group;
}

// An edit with its up-down beside it, as one row cell.
QWidget* EditWithUpDown(QLineEdit* edit, UpDown* upDown, QWidget* parent) {
  auto* cell = new QWidget(parent);
  auto* row = new QHBoxLayout(cell);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  edit->setParent(cell);
  upDown->setParent(cell);
  row->addWidget(edit);
  row->addWidget(upDown);
  row->addStretch();
  return cell;
}

QLineEdit* Edit(const char* name, int maxLength, bool readOnly, int width, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  edit->setMaxLength(maxLength);
  edit->setReadOnly(readOnly);
  edit->setFixedWidth(width);
  return edit;
}

constexpr int kCompactSpacing = 3;

}  // namespace

void Tfm_set::BuildControls() {
  setWindowTitle("Settings");
  // Title bar with the close box only.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

  GroupBox1 = Group("Output Settings", this);
  GroupBox1->setObjectName("GroupBox1");
  pc = new QTabWidget(GroupBox1);
  pc->setObjectName("pc");
  pc->addTab(BuildWavPage(), "WAV");
  pc->addTab(BuildMp3Page(), "MP3");
  pc->addTab(BuildWmaPage(), "WMA");
  pc->addTab(BuildOggPage(), "OGG");
  formatPages_ = std::make_unique<FormatPages>(pc);
  levelPage_ = new LevelPage;
  pc->addTab(levelPage_, "Level");
  pc->setCurrentIndex(0);
  auto* groupLayout = new QVBoxLayout(GroupBox1);
  groupLayout->setContentsMargins(4, 4, 4, 4);
  groupLayout->addWidget(pc);
  cb_keep_tags = new QCheckBox("Keep tags (title, artist, album, cover, ...)", GroupBox1);
  cb_keep_tags->setObjectName("cb_keep_tags");
  groupLayout->addWidget(cb_keep_tags);
  // The cut's output names ([Format] NameTemplate).
  auto* names = new QHBoxLayout;
  auto* namesLabel = new QLabel("Cut output names:", GroupBox1);
  edt_name_template = new QLineEdit(GroupBox1);
  edt_name_template->setObjectName("edt_name_template");
  edt_name_template->setToolTip(
      "{n} track number ({n:2}: 01, 02, ...), {title}, {artist}, {name} (the source's name), {begin}.\n"
      "Cut_{name} keeps the usual names; any other template also writes the track number tag.");
  namesLabel->setBuddy(edt_name_template);
  names->addWidget(namesLabel);
  names->addWidget(edt_name_template, 1);
  groupLayout->addLayout(names);
  cb_last_list = new QCheckBox("Start with the last list", GroupBox1);
  cb_last_list->setObjectName("cb_last_list");
  groupLayout->addWidget(cb_last_list);

  btn_ok = new QPushButton("OK", this);
  btn_ok->setObjectName("btn_ok");
  btn_default = new QPushButton("Default", this);
  btn_default->setObjectName("btn_default");
  btn_cancel = new QPushButton("Cancel", this);
  btn_cancel->setObjectName("btn_cancel");
  // Enter in an edit does not close the dialog; OK is pressed on purpose.
  for (QPushButton* b : {btn_ok, btn_default, btn_cancel}) b->setAutoDefault(false);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btn_ok);
  buttons->addWidget(btn_default);
  buttons->addWidget(btn_cancel);

  auto* main = new QVBoxLayout(this);
  main->setContentsMargins(6, 6, 6, 6);
  main->setSpacing(6);
  main->addWidget(GroupBox1);
  main->addWidget(BuildSilenceGroup());
  main->addLayout(buttons);

  // Fixed size: the designed client area, grown only if the fonts need more.
  setFixedSize(sizeHint().expandedTo(QSize(kClientWidth, kClientHeight)));
}

QWidget* Tfm_set::BuildWavPage() {
  auto* page = new QWidget;
  page->setObjectName("TabSheet1");

  QGroupBox* mode = Group("Mode", page);
  rb_cdquality = new QRadioButton("CD quality WAV format (for burning audio CD)", mode);
  rb_cdquality->setObjectName("rb_cdquality");
  rb_bestsuited = new QRadioButton("Best suited WAV format", mode);
  rb_bestsuited->setObjectName("rb_bestsuited");
  rb_custom = new QRadioButton("Custom format", mode);
  rb_custom->setObjectName("rb_custom");
  auto* modeLayout = new QVBoxLayout(mode);
  modeLayout->setSpacing(kCompactSpacing);
  modeLayout->addWidget(rb_cdquality);
  modeLayout->addWidget(rb_bestsuited);
  modeLayout->addWidget(rb_custom);
  modeLayout->addWidget(Note("To set the parameters below, please choose \"Custom Format\" ", mode));

  QGroupBox* general = Group("General Options", page);
  cb_wav_frequency = List("cb_wav_frequency", settings::kSampleRateTexts, general);
  cb_wav_channel = List("cb_wav_channel", settings::kChannelTexts, general);
  cb_wav_bit = List("cb_wav_bit", settings::kSampleWidthTexts, general);
  auto* grid = new QGridLayout(general);
  grid->setVerticalSpacing(kCompactSpacing);
  grid->addWidget(Caption("Frequency", cb_wav_frequency, general), 0, 0);
  grid->addWidget(cb_wav_frequency, 0, 1);
  grid->addWidget(Caption("Channel", cb_wav_channel, general), 1, 0);
  grid->addWidget(cb_wav_channel, 1, 1);
  grid->addWidget(Caption("Bit Per Sample", cb_wav_bit, general), 2, 0);
  grid->addWidget(cb_wav_bit, 2, 1);
  grid->addWidget(Note("To small created file, low frequency or bit per sample, ", general), 3, 0, 1, 3);
  grid->addWidget(Note("but quality will be lowed accordingly. ", general), 4, 0, 1, 3);
  grid->setColumnStretch(2, 1);

  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(mode);
  layout->addWidget(general);
  layout->addStretch();
  return page;
}

QWidget* Tfm_set::BuildMp3Page() {
  auto* page = new QWidget;
  page->setObjectName("TabSheet2");

  QGroupBox* general = Group("General Options", page);
  cb_mp3_frequency = List("cb_mp3_frequency", settings::kSampleRateTexts, general);
  cb_mp3_bitrate = List("cb_mp3_bitrate", settings::kBitRateTexts, general);
  cb_mp3_channel = List("cb_mp3_channel", settings::kChannelTexts, general);
  edt_mp3_quality = Edit("edt_mp3_quality", 1, true, 28, general);
  ud_mp3_quality = new UpDown(edt_mp3_quality, 0, 9, general);
  ud_mp3_quality->setObjectName("ud_mp3_quality");
  auto* grid = new QGridLayout(general);
  grid->setVerticalSpacing(kCompactSpacing);
  grid->addWidget(Caption("Frequency: ", cb_mp3_frequency, general), 0, 0);
  grid->addWidget(cb_mp3_frequency, 0, 1);
  grid->addWidget(Caption("Bitrate: ", cb_mp3_bitrate, general), 0, 2);
  grid->addWidget(cb_mp3_bitrate, 0, 3);
  grid->addWidget(Caption("Channel: ", cb_mp3_channel, general), 1, 0);
  grid->addWidget(cb_mp3_channel, 1, 1);
  grid->addWidget(Caption("Quality: ", edt_mp3_quality, general), 1, 2);
  grid->addWidget(EditWithUpDown(edt_mp3_quality, ud_mp3_quality, general), 1, 3);
  grid->addWidget(Note("8Kbps - poor quality, small file, 350Kbps - good quality, big file", general), 2, 0, 1, 4);
  grid->addWidget(Note("Quality: 0 - best quality, low speed, 9 - low quality, fast speed. ", general), 3, 0, 1, 4);

  QGroupBox* vbr = Group("VBR (Variable Bit Rate)", page);
  cb_vbr = new QCheckBox("Enable VBR", vbr);
  cb_vbr->setObjectName("cb_vbr");
  cb_mp3_vbr = List("cb_mp3_vbr", settings::kBitRateTexts, vbr);
  cb_mp3_vbr->setToolTip(
      "The highest bit rate any frame of a VBR file may use (the VBR maximum). "
      "The frequency's MP3 bit-rate table caps it: at 16000 to 24000 Hz no frame goes above 160 Kbps, "
      "at 8000 to 12000 Hz none above 64 Kbps.");
  edt_mp3_vbr = Edit("edt_mp3_vbr", 1, true, 28, vbr);
  ud_mp3_vbr = new UpDown(edt_mp3_vbr, 0, 9, vbr);
  ud_mp3_vbr->setObjectName("ud_mp3_vbr");
  auto* vbrGrid = new QGridLayout(vbr);
  vbrGrid->setVerticalSpacing(kCompactSpacing);
  vbrGrid->addWidget(cb_vbr, 0, 0, 1, 4);
  vbrGrid->addWidget(Caption("VBR Bitrate: ", cb_mp3_vbr, vbr), 1, 0);
  vbrGrid->addWidget(cb_mp3_vbr, 1, 1);
  vbrGrid->addWidget(Caption("VBR Quality: ", edt_mp3_vbr, vbr), 1, 2);
  vbrGrid->addWidget(EditWithUpDown(edt_mp3_vbr, ud_mp3_vbr, vbr), 1, 3);
  vbrGrid->addWidget(Note("Quality: 0 - best quality, low speed, 9 - low quality, fast speed. ", vbr), 2, 0, 1, 4);

  cb_mp3_lossless = new QCheckBox("Keep the MP3 frames (no re-encoding)", page);
  cb_mp3_lossless->setObjectName("cb_mp3_lossless");
  cb_mp3_lossless->setToolTip(
      "MP3 sources whose frequency and channels are the ones above: the frames inside each range are "
      "copied as they are and only the few at its edges re-encoded, so the output is exact to the sample "
      "without a second generation of loss. Other sources are re-encoded as set above.");

  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(general);
  layout->addWidget(vbr);
  layout->addWidget(cb_mp3_lossless);
  layout->addStretch();
  return page;
}

QWidget* Tfm_set::BuildWmaPage() {
  auto* page = new QWidget;
  page->setObjectName("TabSheet3");
  QGroupBox* group = Group("WMA Format", page);
  cb_wma = List("cb_wma", audio::kWmaProfileTexts, group);
  lbl_wma_note = Note(QString(), group);
  lbl_wma_note->setObjectName("lbl_wma_note");
  lbl_wma_note->setWordWrap(true);
  auto* groupLayout = new QVBoxLayout(group);
  groupLayout->addWidget(cb_wma);
  groupLayout->addWidget(lbl_wma_note);
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(group);
  layout->addStretch();
  return page;
}

QWidget* Tfm_set::BuildOggPage() {
  auto* page = new QWidget;
  page->setObjectName("TabSheet4");

  QGroupBox* general = Group("General Options", page);
  cb_ogg_fre = List("cb_ogg_fre", settings::kSampleRateTexts, general);
  cb_ogg_bitrate = List("cb_ogg_bitrate", settings::kBitRateTexts, general);
  cb_ogg_channel = List("cb_ogg_channel", settings::kChannelTexts, general);
  auto* grid = new QGridLayout(general);
  grid->setVerticalSpacing(kCompactSpacing);
  grid->addWidget(Caption("Frequency: ", cb_ogg_fre, general), 0, 0);
  grid->addWidget(cb_ogg_fre, 0, 1);
  grid->addWidget(Caption("Bitrate: ", cb_ogg_bitrate, general), 0, 2);
  grid->addWidget(cb_ogg_bitrate, 0, 3);
  grid->addWidget(Caption("Channel: ", cb_ogg_channel, general), 1, 0);
  grid->addWidget(cb_ogg_channel, 1, 1);
  grid->addWidget(Note("8Kbps - poor quality, small file, 350Kbps - good quality, big file", general), 2, 0, 1, 4);

  QGroupBox* vbr = Group("VBR (Variable Bit Rate)", page);
  cb_ogg_quality = new QCheckBox("Enable Quality", vbr);
  cb_ogg_quality->setObjectName("cb_ogg_quality");
  edt_ogg_quality = Edit("edt_ogg_quality", 5, false, 48, vbr);
  ud_ogg_quality = new UpDown(edt_ogg_quality, 0, 1000, vbr);
  ud_ogg_quality->setObjectName("ud_ogg_quality");
  cb_ogg_minbit = List("cb_ogg_minbit", settings::kBitRateTexts, vbr);
  cb_ogg_maxbit = List("cb_ogg_maxbit", settings::kBitRateTexts, vbr);
  auto* vbrGrid = new QGridLayout(vbr);
  vbrGrid->setVerticalSpacing(kCompactSpacing);
  vbrGrid->addWidget(cb_ogg_quality, 0, 0, 1, 2);
  vbrGrid->addWidget(Caption("VBR Quality: ", edt_ogg_quality, vbr), 0, 2);
  vbrGrid->addWidget(EditWithUpDown(edt_ogg_quality, ud_ogg_quality, vbr), 0, 3);
  vbrGrid->addWidget(Caption("Min Bitrate: ", cb_ogg_minbit, vbr), 1, 0);
  vbrGrid->addWidget(cb_ogg_minbit, 1, 1);
  vbrGrid->addWidget(Caption("Max Bitrate: ", cb_ogg_maxbit, vbr), 1, 2);
  vbrGrid->addWidget(cb_ogg_maxbit, 1, 3);
  vbrGrid->addWidget(Note("0 - best quality, low speed, 1000 - low quality, fast speed . ", vbr), 2, 0, 1, 4);
  vbrGrid->addWidget(Note("If quality enabled, the bitrate just affects the convertation ", vbr), 3, 0, 1, 4);
  vbrGrid->addWidget(Note("speed and the quality of the result file, not decide. ", vbr), 4, 0, 1, 4);

  cb_ogg_lossless = new QCheckBox("Keep the frames (no re-encoding)", page);
  cb_ogg_lossless->setObjectName("cb_ogg_lossless");
  cb_ogg_lossless->setToolTip(
      "Ogg Vorbis sources whose frequency and channels are the ones above: the packets inside each range are "
      "copied as they are and the Ogg pages record where the range begins and ends, so the output is exact to "
      "the sample without a second generation of loss. Other sources are re-encoded as set above.");

  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(general);
  layout->addWidget(vbr);
  layout->addWidget(cb_ogg_lossless);
  layout->addStretch();
  return page;
}

// Beside the output settings, not one of their pages: the values belong to
// "Split at silences", whatever the output format.
QWidget* Tfm_set::BuildSilenceGroup() {
  QGroupBox* group = Group("Split at silences", this);
  group->setObjectName("GroupBox2");
  ud_silence_threshold = NewSilenceThresholdBox(group);
  ud_silence_length = NewSilenceLengthBox(group);
  lbl_silence_note = Note(QString(), group);
  lbl_silence_note->setObjectName("lbl_silence_note");
  lbl_silence_note->setWordWrap(true);
  lbl_silence_note->hide();
  auto* grid = new QGridLayout(group);
  grid->setVerticalSpacing(kCompactSpacing);
  grid->addWidget(Caption("Threshold: ", ud_silence_threshold, group), 0, 0);
  grid->addWidget(ud_silence_threshold, 0, 1);
  grid->addWidget(Caption("Minimum length: ", ud_silence_length, group), 0, 2);
  grid->addWidget(ud_silence_length, 0, 3);
  grid->addWidget(Note("A silence stays below the threshold on every channel for at least the minimum length.",
                       group), 1, 0, 1, 5);
  grid->addWidget(lbl_silence_note, 2, 0, 1, 5);
  grid->setColumnStretch(4, 1);
  return group;
}

}  // namespace snipwave
