#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

#include "CaughtExceptions.h"
#include "DialogDriver.h"
#include "MockAudioWriter.h"
#include "ScriptedDialogs.h"
#include "FileContents.h"
#include "TempDir.h"
#include "platform/Error.h"
#include "settings/DialogPlacement.h"
#include "components/audio/WmaProfiles.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "settings/Tfm_set.h"
#include "settings/UpDown.h"

using namespace snipwave;
using namespace snipwave::test;
using ::testing::_;
using ::testing::NiceMock;
using ::testing::Return;

namespace {

const QByteArray kExampleFile =
    "[mp3]\n"
    "bitrate=11\n"
    "channel=1\n"
    "frequency=8\n"
    "quality=9\n"
    "enable vbr=0\n"
    "vbr bitrate=11\n"
    "vbr quality=9\n"
    "[wav]\n"
    "mode=0\n"
    "bit=1\n"
    "channel=1\n"
    "frequency=8\n"
    "[wma]\n"
    "format=9\n"
    "[ogg]\n"
    "channel=1\n"
    "frequency=8\n"
    "bitrate=11\n"
    "max bitrate=11\n"
    "min bitrate=11\n"
    "enable quality=1\n"
    "quality=300\n";

class SettingsDialogTest : public ::testing::Test {
 protected:
  SettingsDialogTest() {
    qputenv("SNIPWAVE_CONFIG_DIR", dir.path().toUtf8());
    store = std::make_unique<SettingsStore>("Snipwave.ini");
    storePtr = store.get();
    mainWindow.setGeometry(200, 150, 700, 500);
    mainWindow.show();
    ON_CALL(writer, CheckMp3Format(_, _, _)).WillByDefault(Return(true));
    ON_CALL(writer, CheckOggFormat(_, _, _, _, _)).WillByDefault(Return(true));
    dialog = std::make_unique<Tfm_set>(storePtr, writer, dialogs, &mainWindow);
    CaughtExceptions().clear();
  }
  ~SettingsDialogTest() override {
    dialog.reset();
    qunsetenv("SNIPWAVE_CONFIG_DIR");
  }

  QString iniPath() const { return dir.file("Snipwave.ini"); }

  // Shows the dialog as the "set" command does and runs `whileOpen` in it.
  bool Shown(const std::function<void()>& whileOpen) {
    return WhileShown(*dialog, [&] { dialog->ShowModal(); }, whileOpen);
  }

  template <typename W>
  W* Find(const char* name) {
    W* w = dialog->findChild<W*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QComboBox* List(const char* name) { return Find<QComboBox>(name); }
  QCheckBox* Check(const char* name) { return Find<QCheckBox>(name); }
  QRadioButton* Radio(const char* name) { return Find<QRadioButton>(name); }
  UpDown* Ud(const char* name) { return Find<UpDown>(name); }
  QLineEdit* Edit(const char* name) { return Find<QLineEdit>(name); }
  // A click where the user would click: on the indicator of a check box or
  // radio button (whose label may end well before the middle of the widget).
  void Click(const char* name) {
    QAbstractButton* b = Find<QAbstractButton>(name);
    const bool indicator = qobject_cast<QCheckBox*>(b) || qobject_cast<QRadioButton*>(b);
    QTest::mouseClick(b, Qt::LeftButton, {}, indicator ? QPoint(8, b->height() / 2) : b->rect().center());
  }

  TempDir dir;
  std::unique_ptr<SettingsStore> store;
  SettingsStore* storePtr = nullptr;
  QWidget mainWindow;
  ScriptedDialogs dialogs;
  NiceMock<MockAudioWriter> writer;
  std::unique_ptr<Tfm_set> dialog;
};

std::vector<QString> Items(QComboBox* list) {
  std::vector<QString> items;
  for (int i = 0; i < list->count(); ++i) items.push_back(list->itemText(i));
  return items;
}

template <std::size_t N>
std::vector<QString> Texts(const std::array<std::string_view, N>& list) {
  std::vector<QString> texts;
  for (std::string_view t : list) texts.push_back(QString::fromLatin1(t.data(), static_cast<qsizetype>(t.size())));
  return texts;
}

QStringList LabelTexts(QWidget* page) {
  QStringList texts;
  for (QLabel* l : page->findChildren<QLabel*>()) texts << l->text();
  return texts;
}

}  // namespace

TEST_F(SettingsDialogTest, ControlsCarryTheirNamesCaptionsItemsAndRanges) {
  EXPECT_EQ(dialog->windowTitle(), "Settings");
  EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize()) << "fixed size";
  EXPECT_GE(dialog->width(), Tfm_set::kClientWidth);
  EXPECT_GE(dialog->height(), Tfm_set::kClientHeight);
  EXPECT_FALSE(dialog->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(dialog->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(Find<QPushButton>("btn_ok")->text(), "OK");
  EXPECT_EQ(Find<QPushButton>("btn_default")->text(), "Default");
  EXPECT_EQ(Find<QPushButton>("btn_cancel")->text(), "Cancel");
  EXPECT_EQ(Find<QGroupBox>("GroupBox1")->title(), "Output Settings");

  QTabWidget* pc = Find<QTabWidget>("pc");
  ASSERT_EQ(pc->count(), 9);  // the eight formats, then Level
  const char* sheets[] = {"TabSheet1", "TabSheet2", "TabSheet3", "TabSheet4",
                          "TabSheet5", "TabSheet6", "TabSheet7", "TabSheet8"};
  const char* titles[] = {"WAV", "MP3", "WMA", "OGG", "FLAC", "OPUS", "M4A", "ALAC"};
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(pc->tabText(i), titles[i]);
    EXPECT_EQ(pc->widget(i)->objectName(), sheets[i]);
  }

  EXPECT_EQ(Radio("rb_cdquality")->text(), "CD quality WAV format (for burning audio CD)");
  EXPECT_EQ(Radio("rb_bestsuited")->text(), "Best suited WAV format");
  EXPECT_EQ(Radio("rb_custom")->text(), "Custom format");
  EXPECT_EQ(Check("cb_vbr")->text(), "Enable VBR");
  EXPECT_EQ(Check("cb_ogg_quality")->text(), "Enable Quality");

  for (const char* name : {"cb_wav_frequency", "cb_mp3_frequency", "cb_ogg_fre"})
    EXPECT_EQ(Items(List(name)), Texts(settings::kSampleRateTexts)) << name;
  for (const char* name : {"cb_mp3_bitrate", "cb_mp3_vbr", "cb_ogg_bitrate", "cb_ogg_minbit", "cb_ogg_maxbit"})
    EXPECT_EQ(Items(List(name)), Texts(settings::kBitRateTexts)) << name;
  for (const char* name : {"cb_wav_channel", "cb_mp3_channel", "cb_ogg_channel"})
    EXPECT_EQ(Items(List(name)), Texts(settings::kChannelTexts)) << name;
  EXPECT_EQ(Items(List("cb_wav_bit")), Texts(settings::kSampleWidthTexts));
  EXPECT_EQ(Items(List("cb_wma")), Texts(audio::kWmaProfileTexts));
  for (QComboBox* list : dialog->findChildren<QComboBox*>()) EXPECT_FALSE(list->isEditable()) << list->objectName().toStdString();

  EXPECT_EQ(Ud("ud_mp3_quality")->Minimum(), 0);
  EXPECT_EQ(Ud("ud_mp3_quality")->Maximum(), 9);
  EXPECT_EQ(Ud("ud_mp3_vbr")->Maximum(), 9);
  EXPECT_EQ(Ud("ud_ogg_quality")->Maximum(), 1000);
  EXPECT_EQ(Ud("ud_mp3_quality")->Buddy(), Edit("edt_mp3_quality"));
  EXPECT_EQ(Ud("ud_mp3_vbr")->Buddy(), Edit("edt_mp3_vbr"));
  EXPECT_EQ(Ud("ud_ogg_quality")->Buddy(), Edit("edt_ogg_quality"));
  EXPECT_TRUE(Edit("edt_mp3_quality")->isReadOnly());
  EXPECT_EQ(Edit("edt_mp3_quality")->maxLength(), 1);
  EXPECT_TRUE(Edit("edt_mp3_vbr")->isReadOnly());
  EXPECT_FALSE(Edit("edt_ogg_quality")->isReadOnly());
  EXPECT_EQ(Edit("edt_ogg_quality")->maxLength(), 5);

  const QStringList wav = LabelTexts(pc->widget(0));
  for (const char* t : {"Frequency", "Channel", "Bit Per Sample", "To set the parameters below, please choose \"Custom Format\" ",
                        "To small created file, low frequency or bit per sample, ", "but quality will be lowed accordingly. "})
    EXPECT_TRUE(wav.contains(t)) << t;
  const QStringList mp3 = LabelTexts(pc->widget(1));
  for (const char* t : {"Frequency: ", "Bitrate: ", "Channel: ", "Quality: ", "VBR Bitrate: ", "VBR Quality: ",
                        "8Kbps - poor quality, small file, 350Kbps - good quality, big file"})
    EXPECT_TRUE(mp3.contains(t)) << t;
  EXPECT_EQ(mp3.count("Quality: 0 - best quality, low speed, 9 - low quality, fast speed. "), 2);
  const QStringList ogg = LabelTexts(pc->widget(3));
  for (const char* t : {"Frequency: ", "Bitrate: ", "Channel: ", "VBR Quality: ", "Min Bitrate: ", "Max Bitrate: ",
                        "8Kbps - poor quality, small file, 350Kbps - good quality, big file",
                        "0 - best quality, low speed, 1000 - low quality, fast speed . ",
                        "If quality enabled, the bitrate just affects the convertation ",
                        "speed and the quality of the result file, not decide. "})
    EXPECT_TRUE(ogg.contains(t)) << t;
  QStringList groups;
  for (QGroupBox* g : dialog->findChildren<QGroupBox*>()) groups << g->title();
  for (const char* t : {"Mode", "General Options", "VBR (Variable Bit Rate)", "WMA Format"}) EXPECT_TRUE(groups.contains(t)) << t;
}

TEST_F(SettingsDialogTest, NoSettingsFileShowsDefaultsAndDefaultThenOkWritesTheExampleFile) {
  ASSERT_FALSE(QFile::exists(iniPath()));
  const bool open = Shown([&] {
    EXPECT_EQ(List("cb_mp3_frequency")->currentText(), "44100 Hz");
    EXPECT_EQ(List("cb_mp3_bitrate")->currentText(), "128 Kbps");
    EXPECT_EQ(List("cb_mp3_channel")->currentText(), "Stereo");
    EXPECT_EQ(Ud("ud_mp3_quality")->Position(), 9);
    EXPECT_EQ(Edit("edt_mp3_quality")->text(), "9");
    EXPECT_FALSE(Check("cb_vbr")->isChecked());
    EXPECT_EQ(Ud("ud_mp3_vbr")->Position(), 9);
    EXPECT_TRUE(Radio("rb_cdquality")->isChecked());
    EXPECT_EQ(List("cb_wma")->currentIndex(), 9);
    EXPECT_EQ(List("cb_wma")->currentText(), "WMA9 44KHz, 128Kbps, Stereo, CBR");
    EXPECT_TRUE(Check("cb_ogg_quality")->isChecked());
    EXPECT_EQ(Ud("ud_ogg_quality")->Position(), 300);
    EXPECT_EQ(Edit("edt_ogg_quality")->text(), "300");
    // Reading made nothing.
    EXPECT_FALSE(QFile::exists(iniPath()));
    // The jobs read the same missing key with their own default: quality mode off.
    EXPECT_FALSE(store->ReadBool(settings::section::kOgg, settings::key::kEnableQuality,
                                 settings::defaults::kOggEnableQuality.jobDefault != 0));

    List("cb_wma")->setCurrentIndex(3);  // something for Default to undo
    Click("btn_default");
    EXPECT_FALSE(QFile::exists(iniPath())) << "Default writes nothing";
    Click("btn_ok");
  });
  EXPECT_FALSE(open);
  EXPECT_EQ(ReadAll(iniPath()), kExampleFile);
  EXPECT_TRUE(dialogs.infoTexts().isEmpty());
}

TEST_F(SettingsDialogTest, TagAndFrameChoicesHaveTheirDefaultsAndAreStoredOnlyWhenChanged) {
  struct Choice {
    const char* control;
    std::string_view section, key;
    bool byDefault;
  };
  for (const Choice& c : {Choice{"cb_keep_tags", settings::section::kFormat, settings::key::kKeepTags, true},
                          Choice{"cb_mp3_lossless", settings::section::kMp3, settings::key::kLossless, false},
                          Choice{"cb_ogg_lossless", settings::section::kOgg, settings::key::kLossless, false},
                          Choice{"cb_opus_lossless", settings::section::kOpus, settings::key::kLossless, false},
                          Choice{"cb_m4a_lossless", settings::section::kM4a, settings::key::kLossless, false},
                          Choice{"cb_flac_lossless", settings::section::kFlac, settings::key::kLossless, false},
                          Choice{"cb_last_list", settings::section::kFormat, settings::key::kStartWithLastList, false}}) {
    SCOPED_TRACE(c.control);
    Shown([&] {
      EXPECT_EQ(Check(c.control)->isChecked(), c.byDefault);
      Click(c.control);
      Click("btn_ok");
    });
    EXPECT_EQ(store->ReadBool(c.section, c.key, c.byDefault), !c.byDefault);
    Shown([&] {
      EXPECT_EQ(Check(c.control)->isChecked(), !c.byDefault);
      Click("btn_default");
      EXPECT_EQ(Check(c.control)->isChecked(), c.byDefault);
      Click("btn_ok");
    });
    EXPECT_EQ(store->ReadBool(c.section, c.key, !c.byDefault), c.byDefault);
  }
  EXPECT_EQ(Check("cb_mp3_lossless")->parentWidget()->objectName(), "TabSheet2");  // on the MP3 page
  // Each packet copy's choice on its own format's page.
  for (const auto& [control, page] : {std::pair{"cb_ogg_lossless", "TabSheet4"}, std::pair{"cb_flac_lossless", "TabSheet5"},
                                      std::pair{"cb_opus_lossless", "TabSheet6"}, std::pair{"cb_m4a_lossless", "TabSheet7"}}) {
    const QWidget* w = Check(control);
    while (w && w->objectName() != page) w = w->parentWidget();
    EXPECT_NE(w, nullptr) << control;
    EXPECT_EQ(Check(control)->text(), "Keep the frames (no re-encoding)");
  }
}

TEST_F(SettingsDialogTest, NameTemplateIsStoredWhenChangedAndABadOneKeepsTheDialogOpenWritingNothing) {
  const QByteArray before = ReadAll(iniPath());
  Shown([&] {
    EXPECT_EQ(Edit("edt_name_template")->text(), "Cut_{name}");
    Edit("edt_name_template")->setText("{n:2} {titel}");
    Click("btn_ok");
    EXPECT_TRUE(dialog->isVisible());
    ASSERT_EQ(dialogs.infoTexts().size(), 1);
    EXPECT_TRUE(dialogs.infoTexts()[0].contains("{titel}"));
    EXPECT_EQ(ReadAll(iniPath()), before);
    Edit("edt_name_template")->setText("{n:2} {title}");
    Click("btn_ok");
  });
  EXPECT_EQ(store->ReadString(settings::section::kFormat, settings::key::kNameTemplate, ""), "{n:2} {title}");
  Shown([&] {
    EXPECT_EQ(Edit("edt_name_template")->text(), "{n:2} {title}");
    Click("btn_default");
    EXPECT_EQ(Edit("edt_name_template")->text(), "Cut_{name}");
    Click("btn_ok");
  });
  EXPECT_EQ(store->ReadString(settings::section::kFormat, settings::key::kNameTemplate, ""), "Cut_{name}");
}

TEST_F(SettingsDialogTest, SilenceValuesAreShownKeptOnlyWhenChangedAndABadOneIsNamed) {
  const auto silence = [&](std::string_view key) {
    return store->ReadString(settings::section::kSilence, key, "none");
  };
  auto* threshold = Find<QDoubleSpinBox>("ud_silence_threshold");
  auto* length = Find<QDoubleSpinBox>("ud_silence_length");
  Shown([&] {
    EXPECT_EQ(threshold->value(), -50.0);
    EXPECT_EQ(length->value(), 0.5);
    threshold->setValue(-42.5);
    length->setValue(1.25);
    Click("btn_cancel");
  });
  EXPECT_EQ(silence(settings::key::kSilenceThresholdDb), "none");
  Shown([&] {
    EXPECT_EQ(threshold->value(), -50.0);
    threshold->setValue(-42.5);
    length->setValue(1.25);
    Click("btn_ok");
  });
  EXPECT_EQ(silence(settings::key::kSilenceThresholdDb), "-42.5");
  EXPECT_EQ(silence(settings::key::kSilenceMinSeconds), "1.25");

  // A value typed into the file by hand stays as it is through an OK that
  // did not change it; one that cannot be used is named and replaced.
  store->WriteString(settings::section::kSilence, settings::key::kSilenceMinSeconds, "0.0625");
  Shown([&] { Click("btn_ok"); });
  EXPECT_EQ(silence(settings::key::kSilenceMinSeconds), "0.0625");
  store->WriteString(settings::section::kSilence, settings::key::kSilenceThresholdDb, "loud");
  Shown([&] {
    QLabel* note = Find<QLabel>("lbl_silence_note");
    EXPECT_TRUE(note->isVisible());
    EXPECT_TRUE(note->text().contains("ThresholdDb=loud")) << note->text().toStdString();
    EXPECT_EQ(threshold->value(), -50.0);
    Click("btn_ok");
  });
  EXPECT_EQ(silence(settings::key::kSilenceThresholdDb), "-50");
  EXPECT_EQ(silence(settings::key::kSilenceMinSeconds), "0.5");
}

// The page "Level": stored values shown, only changed keys written, a value
// that cannot be used named and replaced by OK.
TEST_F(SettingsDialogTest, LevelPageShowsEveryKeyAndWritesOnlyChanges) {
  const auto level = [&](std::string_view key) { return store->ReadString(settings::section::kLevel, key, "none"); };
  QTabWidget* pc = Find<QTabWidget>("pc");
  int page = -1;
  for (int i = 0; i < pc->count(); ++i)
    if (pc->tabText(i) == "Level") page = i;
  ASSERT_GE(page, 0);
  for (std::string_view key :
       {settings::key::kFadeInMs, settings::key::kFadeOutMs, settings::key::kFadeCurve, settings::key::kCrossfadeMs,
        settings::key::kCrossfadeCurve, settings::key::kEdgeFadeMs, settings::key::kMatchLoudness,
        settings::key::kNormalise, settings::key::kTargetLufs, settings::key::kTruePeakDbtp,
        settings::key::kReplayGain, settings::key::kSnapToZero, settings::key::kSnapWindowMs})
    EXPECT_NE(pc->widget(page)->findChild<QWidget*>(QString::fromUtf8(key.data(), qsizetype(key.size()))), nullptr)
        << key;
  Shown([&] { Click("btn_ok"); });
  EXPECT_EQ(level(settings::key::kFadeInMs), "none") << "an unchanged page writes nothing";

  store->WriteString(settings::section::kLevel, settings::key::kFadeCurve, "log");
  store->WriteString(settings::section::kLevel, settings::key::kTargetLufs, "-23");
  store->WriteString(settings::section::kLevel, settings::key::kCrossfadeMs, "-5");
  Shown([&] {
    EXPECT_EQ(Find<QComboBox>("FadeCurve")->currentText(), "log");
    EXPECT_EQ(Find<QDoubleSpinBox>("TargetLufs")->value(), -23.0);
    EXPECT_TRUE(Find<QLabel>("lbl_level_note")->text().contains("CrossfadeMs=-5"));
    Find<QSpinBox>("FadeInMs")->setValue(250);
    Click("btn_ok");
  });
  EXPECT_EQ(level(settings::key::kFadeInMs), "250");
  EXPECT_EQ(level(settings::key::kCrossfadeMs), "0");
  EXPECT_EQ(level(settings::key::kTargetLufs), "-23");
  EXPECT_EQ(level(settings::key::kEdgeFadeMs), "none");
}

TEST_F(SettingsDialogTest, EveryShowingLoadsTheStoredValuesAndCancelOrCloseWritesNothing) {
  WriteAll(iniPath(),
           "[mp3]\nbitrate=3\nchannel=0\nfrequency=2\nquality=4\nenable vbr=2\nvbr bitrate=16\nvbr quality=1\n"
           "[wav]\nmode=2\nbit=0\nchannel=0\nfrequency=1\n[wma]\nformat=46\n"
           "[ogg]\nchannel=0\nfrequency=5\nbitrate=2\nmax bitrate=16\nmin bitrate=0\nenable quality=0\nquality=1000\n");
  const QByteArray before = ReadAll(iniPath());
  auto expectStored = [&] {
    EXPECT_EQ(List("cb_mp3_bitrate")->currentIndex(), 3);
    EXPECT_EQ(List("cb_mp3_channel")->currentIndex(), 0);
    EXPECT_EQ(List("cb_mp3_frequency")->currentIndex(), 2);
    EXPECT_EQ(Ud("ud_mp3_quality")->Position(), 4);
    EXPECT_TRUE(Check("cb_vbr")->isChecked()) << "any integer but 0 is true";
    EXPECT_EQ(List("cb_mp3_vbr")->currentIndex(), 16);
    EXPECT_EQ(Ud("ud_mp3_vbr")->Position(), 1);
    EXPECT_TRUE(Radio("rb_custom")->isChecked());
    EXPECT_EQ(List("cb_wav_bit")->currentIndex(), 0);
    EXPECT_EQ(List("cb_wav_channel")->currentIndex(), 0);
    EXPECT_EQ(List("cb_wav_frequency")->currentIndex(), 1);
    EXPECT_EQ(List("cb_wma")->currentIndex(), 46);
    EXPECT_EQ(List("cb_ogg_channel")->currentIndex(), 0);
    EXPECT_EQ(List("cb_ogg_fre")->currentIndex(), 5);
    EXPECT_EQ(List("cb_ogg_bitrate")->currentIndex(), 2);
    EXPECT_EQ(List("cb_ogg_maxbit")->currentIndex(), 16);
    EXPECT_EQ(List("cb_ogg_minbit")->currentIndex(), 0);
    EXPECT_FALSE(Check("cb_ogg_quality")->isChecked());
    EXPECT_EQ(Ud("ud_ogg_quality")->Position(), 1000);
    EXPECT_EQ(Edit("edt_ogg_quality")->text(), "1,000");
  };
  auto changeEverything = [&] {
    Click("rb_bestsuited");
    Click("btn_default");
    Click("cb_ogg_quality");
    List("cb_wma")->setCurrentIndex(0);
  };

  Shown([&] {
    expectStored();
    changeEverything();
    Click("btn_cancel");
  });
  EXPECT_EQ(ReadAll(iniPath()), before);

  Shown([&] {
    expectStored();
    changeEverything();
    dialog->close();  // the close box
  });
  EXPECT_EQ(ReadAll(iniPath()), before);

  // A value changed behind the dialog's back shows at the next showing.
  store->WriteInteger(settings::section::kWma, settings::key::kFormat, 20);
  Shown([&] { EXPECT_EQ(List("cb_wma")->currentIndex(), 20); });
}

TEST_F(SettingsDialogTest, EnablingRulesFollowLoadingDefaultAndClicks) {
  WriteAll(iniPath(), "[wav]\nmode=1\n[mp3]\nenable vbr=1\n[ogg]\nenable quality=0\n");
  Shown([&] {
    for (const char* name : {"cb_wav_frequency", "cb_wav_channel", "cb_wav_bit"}) EXPECT_FALSE(List(name)->isEnabled());
    EXPECT_TRUE(List("cb_mp3_vbr")->isEnabled());
    EXPECT_TRUE(Ud("ud_mp3_vbr")->isEnabled());
    EXPECT_FALSE(Ud("ud_ogg_quality")->isEnabled());
    EXPECT_FALSE(Edit("edt_ogg_quality")->isEnabled());
    EXPECT_TRUE(List("cb_ogg_minbit")->isEnabled());
    EXPECT_TRUE(List("cb_ogg_maxbit")->isEnabled());

    Click("rb_custom");
    for (const char* name : {"cb_wav_frequency", "cb_wav_channel", "cb_wav_bit"}) EXPECT_TRUE(List(name)->isEnabled());
    Click("cb_vbr");
    EXPECT_FALSE(List("cb_mp3_vbr")->isEnabled());
    EXPECT_FALSE(Ud("ud_mp3_vbr")->isEnabled());
    EXPECT_TRUE(Edit("edt_mp3_vbr")->isEnabled()) << "read-only, never disabled";
    Click("cb_ogg_quality");
    EXPECT_TRUE(Ud("ud_ogg_quality")->isEnabled());
    EXPECT_TRUE(Edit("edt_ogg_quality")->isEnabled());
    EXPECT_FALSE(List("cb_ogg_minbit")->isEnabled());
    EXPECT_FALSE(List("cb_ogg_maxbit")->isEnabled());
    EXPECT_TRUE(List("cb_ogg_bitrate")->isEnabled());

    Click("cb_vbr");
    Click("cb_ogg_quality");
    Click("btn_default");
    for (const char* name : {"cb_wav_frequency", "cb_wav_channel", "cb_wav_bit"}) EXPECT_FALSE(List(name)->isEnabled());
    EXPECT_FALSE(List("cb_mp3_vbr")->isEnabled());
    EXPECT_TRUE(Edit("edt_ogg_quality")->isEnabled());
    EXPECT_FALSE(List("cb_ogg_minbit")->isEnabled());
  });
}

TEST_F(SettingsDialogTest, Mp3CheckOnChangeKeepsTheItemAndBlocksOk) {
  // 48000 Hz at 8 kbit/s is what this writer refuses.
  ON_CALL(writer, CheckMp3Format(_, _, _)).WillByDefault([](int rate, int kbps, int) { return !(rate == 48000 && kbps == 8); });
  const bool open = Shown([&] {
    PickItem(List("cb_mp3_frequency"), 9);  // 48000 Hz with 128 kbit/s: fine
    EXPECT_TRUE(dialogs.infoTexts().isEmpty());
    EXPECT_CALL(writer, CheckMp3Format(48000, 8, 2)).Times(2);
    PickItem(List("cb_mp3_bitrate"), 0);  // 8 kbit/s
    ASSERT_EQ(dialogs.infoTexts(), QStringList{Tfm_set::kMp3NotSupported});
    EXPECT_EQ(List("cb_mp3_bitrate")->currentIndex(), 0) << "the new item stays";
    Click("btn_ok");
    EXPECT_EQ(dialogs.infoTexts().size(), 2);
    EXPECT_EQ(dialogs.infoTexts().last(), Tfm_set::kMp3NotSupported);
  });
  EXPECT_TRUE(open) << "OK refused";
  EXPECT_FALSE(QFile::exists(iniPath())) << "nothing written";
  EXPECT_EQ(Tfm_set::kMp3NotSupported,
            "This MP3 format is not supported. \rYou have set too high frequency and too low bitrate or otherwise. "
            "\rPlease adjust the frequency or bitrate.");
}

// A WMA profile the encoder cannot make gets a note under the list (the
// item texts stay as listed); a writable one none. No message box, no check.
TEST_F(SettingsDialogTest, WmaNoteFollowsTheChosenProfile) {
  store->WriteInteger(settings::section::kWma, settings::key::kFormat, 46);  // lossless
  Shown([&] {
    QLabel* note = Find<QLabel>("lbl_wma_note");
    EXPECT_FALSE(note->isHidden());
    EXPECT_TRUE(note->text().contains("lossless")) << note->text().toStdString();
    EXPECT_EQ(List("cb_wma")->currentText(), "WMA9 44KHz, Stereo, Lossless");
    PickItem(List("cb_wma"), 17);  // 20 kbit/s
    EXPECT_FALSE(note->isHidden());
    EXPECT_TRUE(note->text().contains("24 kbit/s")) << note->text().toStdString();
    PickItem(List("cb_wma"), 12);  // 64 kbit/s CBR
    EXPECT_TRUE(note->isHidden());
    PickItem(List("cb_wma"), 45);  // VBR quality
    Click("btn_default");
    EXPECT_TRUE(note->isHidden());
  });
  EXPECT_TRUE(dialogs.infoTexts().isEmpty());
}

TEST_F(SettingsDialogTest, ListsWithoutHandlersRunNoCheck) {
  EXPECT_CALL(writer, CheckMp3Format(_, _, _)).Times(0);
  EXPECT_CALL(writer, CheckOggFormat(_, _, _, _, _)).Times(0);
  Shown([&] {
    Click("cb_ogg_quality");  // quality off, so the OGG lists would check
    Click("cb_vbr");          // the VBR bit-rate list enabled
    for (const char* name : {"cb_mp3_channel", "cb_mp3_vbr", "cb_ogg_channel", "cb_wma"}) PickItem(List(name), 0);
    Click("rb_custom");
    for (const char* name : {"cb_wav_frequency", "cb_wav_channel", "cb_wav_bit"}) PickItem(List(name), 0);
  });
}

TEST_F(SettingsDialogTest, OggChecksOnlyWithoutQualityModeAndPassMinInTheMaximumsPlace) {
  ON_CALL(writer, CheckOggFormat(_, _, _, _, _)).WillByDefault(Return(false));
  // Quality mode on (the default): no check on change, none on OK.
  EXPECT_CALL(writer, CheckOggFormat(_, _, _, _, _)).Times(0);
  bool open = Shown([&] {
    PickItem(List("cb_ogg_fre"), 2);
    PickItem(List("cb_ogg_bitrate"), 2);
    EXPECT_TRUE(dialogs.infoTexts().isEmpty());
    Click("btn_ok");
  });
  EXPECT_FALSE(open);
  const QByteArray afterFirstOk = ReadAll(iniPath());
  ::testing::Mock::VerifyAndClearExpectations(&writer);
  ON_CALL(writer, CheckOggFormat(_, _, _, _, _)).WillByDefault(Return(false));
  ON_CALL(writer, CheckMp3Format(_, _, _)).WillByDefault(Return(true));

  // Quality mode off: each OGG list checks; min goes where max is expected.
  open = Shown([&] {
    Click("cb_ogg_quality");
    // Loaded: 11025 Hz (index 2), stereo, 24 kbit/s (index 2), min = max = 128.
    EXPECT_CALL(writer, CheckOggFormat(11025, 2, 24, 8, 128)).WillOnce(Return(false));
    PickItem(List("cb_ogg_minbit"), 0);  // min 8 goes in the maximum's place
    EXPECT_EQ(dialogs.infoTexts(), QStringList{Tfm_set::kOggNotSupported});
    EXPECT_CALL(writer, CheckOggFormat(11025, 2, 24, 8, 320)).WillOnce(Return(true));
    PickItem(List("cb_ogg_maxbit"), 16);
    EXPECT_EQ(dialogs.infoTexts().size(), 1);
    EXPECT_CALL(writer, CheckOggFormat(8000, 2, 24, 8, 320)).WillOnce(Return(false));
    PickItem(List("cb_ogg_fre"), 1);
    EXPECT_CALL(writer, CheckOggFormat(8000, 2, 16, 8, 320)).WillOnce(Return(false));
    PickItem(List("cb_ogg_bitrate"), 1);
    EXPECT_EQ(dialogs.infoTexts().size(), 3);

    // OGG and MP3 both refused: OK shows only the OGG message.
    dialogs.shown.clear();
    EXPECT_CALL(writer, CheckOggFormat(_, _, _, _, _)).WillOnce(Return(false));
    EXPECT_CALL(writer, CheckMp3Format(_, _, _)).Times(0);
    Click("btn_ok");
    EXPECT_EQ(dialogs.infoTexts(), QStringList{Tfm_set::kOggNotSupported});
  });
  EXPECT_TRUE(open);
  EXPECT_EQ(ReadAll(iniPath()), afterFirstOk) << "nothing written";
  EXPECT_EQ(Tfm_set::kOggNotSupported,
            "This OGG format is not supported. \rYou have set too high frequency and too low bitrate or otherwise. "
            "\rPlease adjust the frequency or bitrate.");
}

TEST_F(SettingsDialogTest, StoredMp3ProblemBlocksOkWhenOnlyWavWasChanged) {
  WriteAll(iniPath(), "[mp3]\nfrequency=9\nbitrate=0\n");
  const QByteArray before = ReadAll(iniPath());
  EXPECT_CALL(writer, CheckMp3Format(48000, 8, 2)).WillRepeatedly(Return(false));
  const bool open = Shown([&] {
    EXPECT_TRUE(dialogs.infoTexts().isEmpty()) << "loading runs no check";
    Click("rb_custom");
    PickItem(List("cb_wav_frequency"), 0);
    PickItem(List("cb_wma"), 1);
    Click("btn_ok");
    EXPECT_EQ(dialogs.infoTexts(), QStringList{Tfm_set::kMp3NotSupported});
  });
  EXPECT_TRUE(open);
  EXPECT_EQ(ReadAll(iniPath()), before);
}

TEST_F(SettingsDialogTest, OggQualityEditRules) {
  Shown([&] {
    Activate(*dialog);
    dialog->findChild<QTabWidget*>("pc")->setCurrentIndex(3);
    QLineEdit* edit = Edit("edt_ogg_quality");
    UpDown* ud = Ud("ud_ogg_quality");
    edit->setFocus();
    ASSERT_EQ(ud->Position(), 300);

    // Clearing sets the position to 0 (which the edit then shows).
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(ud->Position(), 0);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(ud->Position(), 0);

    // Digits 1, 2, 3, 4: 1000 at most, shown with the thousands comma.
    QTest::keyClicks(edit, "1234");
    EXPECT_EQ(ud->Position(), 1000);
    EXPECT_EQ(edit->text(), "1,000");

    // A letter deletes the character before the caret.
    edit->setText("45");
    EXPECT_EQ(ud->Position(), 45);
    edit->setCursorPosition(2);
    QTest::keyClick(edit, Qt::Key_A);
    EXPECT_EQ(edit->text(), "4");
    EXPECT_EQ(ud->Position(), 4);
    QTest::keyClicks(edit, "7-");
    EXPECT_EQ(edit->text(), "4");

    // The Up and Down keys and the arrows step the position.
    QTest::keyClick(edit, Qt::Key_Up);
    EXPECT_EQ(ud->Position(), 5);
    EXPECT_EQ(edit->text(), "5");
    QTest::keyClick(edit, Qt::Key_Down);
    QTest::keyClick(edit, Qt::Key_Down);
    EXPECT_EQ(edit->text(), "3");

    // Leaving the edit empty puts "0" into it.
    ud->SetPosition(0);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    EXPECT_EQ(edit->text(), "");
    QTest::keyClick(edit, Qt::Key_Tab);
    EXPECT_FALSE(edit->hasFocus());
    EXPECT_EQ(edit->text(), "0");
    EXPECT_EQ(ud->Position(), 0);

    // Pasting something that is not a number: the hook shows the message
    // and the position stays.
    edit->setFocus();
    edit->setText("250");
    CaughtExceptions().clear();
    QGuiApplication::clipboard()->setText("12a");
    edit->selectAll();
    edit->paste();
    QCoreApplication::processEvents();
    EXPECT_EQ(CaughtExceptions(), QStringList{"'12a' is not a valid integer value"});
    EXPECT_EQ(ud->Position(), 250);
    EXPECT_TRUE(dialog->isVisible());

    // Commas are removed before the conversion.
    edit->setText("1,2");
    EXPECT_EQ(ud->Position(), 12);
    EXPECT_EQ(edit->text(), "12");
  });
}

TEST_F(SettingsDialogTest, UpDownsAreStoredIndependentlyAndWavModeFollowsTheRadioButtons) {
  Shown([&] {
    Click("cb_vbr");
    Activate(*dialog);
    // VBR quality 9 -> 3 by the arrow key in its edit; quality 9 -> 7.
    for (int i = 0; i < 6; ++i) QTest::keyClick(Edit("edt_mp3_vbr"), Qt::Key_Down);
    QTest::keyClick(Edit("edt_mp3_quality"), Qt::Key_Up);  // 9 is the top: stays 9
    for (int i = 0; i < 2; ++i) QTest::keyClick(Edit("edt_mp3_quality"), Qt::Key_Down);
    EXPECT_EQ(Edit("edt_mp3_vbr")->text(), "3");
    EXPECT_EQ(Edit("edt_mp3_quality")->text(), "7");
    Click("rb_bestsuited");
    Click("btn_ok");
  });
  EXPECT_EQ(store->ReadInteger("mp3", "vbr quality", -1), 3);
  EXPECT_EQ(store->ReadInteger("mp3", "quality", -1), 7);
  EXPECT_EQ(store->ReadInteger("mp3", "enable vbr", -1), 1);
  EXPECT_EQ(store->ReadInteger("wav", "mode", -1), 1);

  // A stored mode of 5 changes no radio button: best suited stays selected
  // and OK writes its mode.
  store->WriteInteger("wav", "mode", 5);
  Shown([&] {
    EXPECT_TRUE(Radio("rb_bestsuited")->isChecked());
    Click("btn_ok");
  });
  EXPECT_EQ(store->ReadInteger("wav", "mode", -1), 1);
}

TEST(SettingsDialogFreshTest, StoredWavModeFiveOnAFreshDialogSelectsNothingAndOkWritesNoMode) {
  TempDir dir;
  qputenv("SNIPWAVE_CONFIG_DIR", dir.path().toUtf8());
  SettingsStore store("Snipwave.ini");
  SettingsStore* storePtr = &store;
  store.WriteInteger("wav", "mode", 5);
  NiceMock<MockAudioWriter> writer;
  ON_CALL(writer, CheckMp3Format(_, _, _)).WillByDefault(Return(true));
  ScriptedDialogs dialogs;
  QWidget mainWindow;
  mainWindow.show();
  {
    Tfm_set dialog(storePtr, writer, dialogs, &mainWindow);
    WhileShown(dialog, [&] { dialog.ShowModal(); }, [&] {
      for (const char* name : {"rb_cdquality", "rb_bestsuited", "rb_custom"})
        EXPECT_FALSE(dialog.findChild<QRadioButton*>(name)->isChecked()) << name;
      QTest::mouseClick(dialog.findChild<QPushButton*>("btn_ok"), Qt::LeftButton);
    });
  }
  EXPECT_EQ(store.ReadInteger("wav", "mode", -1), 5) << "no mode written";
  EXPECT_EQ(store.ReadInteger("wav", "bit", -1), 1) << "the other keys are";
  qunsetenv("SNIPWAVE_CONFIG_DIR");
}

TEST_F(SettingsDialogTest, OutOfRangeValuesFromAHandEditedFileReadAsDefaults) {
  WriteAll(iniPath(), "[mp3]\nbitrate=17\nquality=12\n[wma]\nformat=-1\n[ogg]\nquality=5000\nfrequency=0x3\n");
  Shown([&] {
    EXPECT_EQ(List("cb_mp3_bitrate")->currentIndex(), 11);
    EXPECT_EQ(Ud("ud_mp3_quality")->Position(), 9);
    EXPECT_EQ(List("cb_wma")->currentIndex(), 9);
    EXPECT_EQ(Ud("ud_ogg_quality")->Position(), 300);
    EXPECT_EQ(List("cb_ogg_fre")->currentIndex(), 3);
  });
}

// The pages after OGG store values: a hand-edited value outside its bounds
// shows the default and OK puts the default in its place; a key the user did
// not change and the file never held stays out of the file.
TEST_F(SettingsDialogTest, FormatPagesAfterOggLoadAndStoreValuesWithinBounds) {
  WriteAll(iniPath(), "[flac]\ncompression=9\nbit=24\n[opus]\nbitrate=5\nenable vbr=0\nchannel=2\n[alac]\nbit=17\n");
  QSpinBox* opusKbps = Find<QSpinBox>("ud_opus_bitrate");
  QSpinBox* aacKbps = Find<QSpinBox>("ud_m4a_bitrate");
  Shown([&] {
    EXPECT_EQ(List("cb_flac_level")->currentIndex(), 5);
    EXPECT_EQ(List("cb_flac_bit")->currentText(), "24 bps");
    EXPECT_EQ(opusKbps->value(), 128);
    EXPECT_FALSE(Check("cb_opus_vbr")->isChecked());
    EXPECT_EQ(List("cb_opus_channel")->currentText(), "Stereo");
    EXPECT_EQ(List("cb_opus_application")->currentIndex(), 0);
    EXPECT_EQ(aacKbps->value(), 192);
    EXPECT_EQ(List("cb_alac_bit")->currentText(), "16 bps");
    List("cb_opus_application")->setCurrentIndex(1);
    aacKbps->setValue(256);
    Click("btn_ok");
  });
  namespace d = settings::defaults;
  const auto stored = [&](const settings::KeyDefaults& k) { return store->ReadInteger(k.section, k.key, -1); };
  EXPECT_EQ(stored(d::kFlacCompression), 5);  // 9 replaced by what was shown
  EXPECT_EQ(stored(d::kFlacBit), 24);
  EXPECT_EQ(stored(d::kOpusBitrate), 128);
  EXPECT_EQ(stored(d::kOpusEnableVbr), 0);
  EXPECT_EQ(stored(d::kOpusApplication), 1);
  EXPECT_EQ(stored(d::kOpusChannel), 2);
  EXPECT_EQ(stored(d::kM4aBitrate), 256);
  EXPECT_EQ(stored(d::kAlacBit), 16);
  Shown([&] {
    Click("btn_default");
    EXPECT_EQ(List("cb_flac_bit")->currentText(), "16 bps");
    EXPECT_TRUE(Check("cb_opus_vbr")->isChecked());
    EXPECT_EQ(List("cb_opus_channel")->currentText(), "As the source");
    Click("btn_cancel");
  });
  EXPECT_EQ(stored(d::kFlacBit), 24) << "Default then Cancel writes nothing";
}

TEST_F(SettingsDialogTest, FailedWriteGoesToTheHookAndLeavesTheDialogOpen) {
  ASSERT_TRUE(QDir().mkdir(iniPath()));  // a folder where the file should be
  const bool open = Shown([&] { Click("btn_ok"); });
  EXPECT_TRUE(open);
  EXPECT_EQ(CaughtExceptions(), QStringList{"Unable to write to Snipwave.ini"});
  EXPECT_TRUE(dialogs.infoTexts().isEmpty());

  // Called directly, the handler lets the error out to its caller.
  EXPECT_THROW(dialog->btn_okClick(), Error);

  // A released store (the main window closing) refuses as well.
  QDir().rmdir(iniPath());
  store->Release();
  CaughtExceptions().clear();
  EXPECT_TRUE(Shown([&] { Click("btn_ok"); }));
  EXPECT_EQ(CaughtExceptions(), QStringList{"Unable to write to Snipwave.ini"});
}

TEST_F(SettingsDialogTest, StoreReplacedAtRunTimeIsTheOneUsed) {
  TempDir other;
  SettingsStore second(other.file("Snipwave.ini"));
  second.WriteInteger("wma", "format", 40);
  storePtr = &second;
  Shown([&] {
    EXPECT_EQ(List("cb_wma")->currentIndex(), 40);
    Click("btn_ok");
  });
  EXPECT_FALSE(QFile::exists(iniPath()));
  EXPECT_EQ(second.ReadInteger("ogg", "quality", -1), 300);
}

TEST_F(SettingsDialogTest, CentredTheFirstTimeThenLeftWhereItStoodWithTheLastPageInFront) {
  mainWindow.move(-300, -200);
  QPoint first;
  Shown([&] {
    const QRect main = mainWindow.frameGeometry();
    QPoint expected = CentredPosition(main, dialog->frameGeometry().size(), true);
    EXPECT_EQ(dialog->frameGeometry().topLeft(), expected);
    EXPECT_GE(expected.x(), 0);
    first = dialog->frameGeometry().topLeft();
    EXPECT_EQ(dialog->findChild<QTabWidget*>("pc")->currentIndex(), 0) << "WAV first";
    dialog->findChild<QTabWidget*>("pc")->setCurrentIndex(2);
    dialog->move(40, 30);
  });
  mainWindow.move(500, 400);
  Shown([&] {
    EXPECT_EQ(dialog->frameGeometry().topLeft(), QPoint(40, 30));
    EXPECT_EQ(dialog->findChild<QTabWidget*>("pc")->currentIndex(), 2);
  });
}

TEST(DialogPlacementTest, CentresWithTruncationAndOptionalClamp) {
  EXPECT_EQ(CentredPosition(QRect(100, 50, 701, 500), QSize(390, 345), false), QPoint(100 + 155, 50 + 77));
  // (300 - 391) / 2 = -45 (toward zero, not -46)
  EXPECT_EQ(CentredPosition(QRect(0, 0, 300, 200), QSize(391, 345), false), QPoint(-45, -72));
  EXPECT_EQ(CentredPosition(QRect(0, 0, 300, 200), QSize(391, 345), true), QPoint(0, 0));
  EXPECT_EQ(CentredPosition(QRect(-500, 10, 300, 200), QSize(100, 100), true), QPoint(0, 60));
}

TEST(UpDownTest, ClampsAndShowsThousandsWithAComma) {
  QLineEdit edit;
  UpDown ud(&edit, 0, 1000);
  int changes = 0;
  QObject::connect(&edit, &QLineEdit::textChanged, [&] { ++changes; });
  ud.SetPosition(1500);
  EXPECT_EQ(ud.Position(), 1000);
  EXPECT_EQ(edit.text(), "1,000");
  EXPECT_EQ(changes, 1);
  ud.SetPosition(1000);
  EXPECT_EQ(changes, 1) << "an unchanged position leaves the edit alone";
  ud.SetPosition(-3);
  EXPECT_EQ(edit.text(), "0");
  EXPECT_EQ(UpDown::FormatPosition(1234567), "1,234,567");
  EXPECT_EQ(UpDown::FormatPosition(999), "999");
  ud.setEnabled(false);
  QTest::keyClick(&edit, Qt::Key_Up);
  EXPECT_EQ(ud.Position(), 0) << "a disabled up-down does not step";
}
