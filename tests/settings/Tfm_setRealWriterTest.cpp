// The settings dialog asking the real FFmpeg-based writer.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QTest>

#include "DialogDriver.h"
#include "ScriptedDialogs.h"
#include "TempDir.h"
#include "MockAudioWriter.h"
#include "components/audio/TAudioFile2.h"
#include "components/audio/TAudioFile2LameEnc.h"
#include "convert/OutputConfiguration.h"
#include "settings/SettingsStore.h"
#include "settings/Tfm_set.h"

using namespace snipwave;
using namespace snipwave::test;
using ::testing::_;
using ::testing::Return;

namespace {

class SettingsDialogRealWriterTest : public ::testing::Test {
 protected:
  SettingsDialogRealWriterTest() {
    qputenv("SNIPWAVE_CONFIG_DIR", dir.path().toUtf8());
    store = std::make_unique<SettingsStore>("Snipwave.ini");
    storePtr = store.get();
    mainWindow.show();
    dialog = std::make_unique<Tfm_set>(storePtr, writer, dialogs, &mainWindow);
  }
  ~SettingsDialogRealWriterTest() override {
    dialog.reset();
    qunsetenv("SNIPWAVE_CONFIG_DIR");
  }
  bool Shown(const std::function<void()>& whileOpen) {
    return WhileShown(*dialog, [&] { dialog->ShowModal(); }, whileOpen);
  }
  QComboBox* List(const char* name) { return dialog->findChild<QComboBox*>(name); }
  void ClickOk() { QTest::mouseClick(dialog->findChild<QPushButton*>("btn_ok"), Qt::LeftButton); }

  TempDir dir;
  std::unique_ptr<SettingsStore> store;
  SettingsStore* storePtr = nullptr;
  QWidget mainWindow;
  ScriptedDialogs dialogs;
  TAudioFile2 writer;
  std::unique_ptr<Tfm_set> dialog;
};

}  // namespace

TEST_F(SettingsDialogRealWriterTest, DefaultsPassBothChecksAndOkWrites) {
  const bool open = Shown([&] {
    QTest::mouseClick(dialog->findChild<QCheckBox*>("cb_ogg_quality"), Qt::LeftButton, {}, QPoint(8, 8));
    ASSERT_FALSE(dialog->findChild<QCheckBox*>("cb_ogg_quality")->isChecked());
    ClickOk();
  });
  EXPECT_FALSE(open);
  EXPECT_TRUE(dialogs.infoTexts().isEmpty());
  EXPECT_EQ(store->ReadInteger("ogg", "enable quality", -1), 0);
}

TEST_F(SettingsDialogRealWriterTest, Mp3At48kHzAnd8KbpsIsRefused) {
  // MPEG-1 Layer III (32-48 kHz) has no 8 kbit/s; MPEG-2.5 (8 kHz) has.
  const bool open = Shown([&] {
    PickItem(List("cb_mp3_bitrate"), 0);  // 8 kbit/s at 44100 Hz
    EXPECT_EQ(dialogs.infoTexts(), QStringList{Tfm_set::kMp3NotSupported});
    PickItem(List("cb_mp3_frequency"), 1);  // 8000 Hz: fine
    EXPECT_EQ(dialogs.infoTexts().size(), 1);
    PickItem(List("cb_mp3_frequency"), 9);  // 48000 Hz: refused again
    EXPECT_EQ(dialogs.infoTexts().size(), 2);
    ClickOk();
    EXPECT_EQ(dialogs.infoTexts().size(), 3);
  });
  EXPECT_TRUE(open);
  EXPECT_FALSE(QFile::exists(dir.file("Snipwave.ini")));
}

TEST_F(SettingsDialogRealWriterTest, OggAt48kHzAnd8KbpsIsRefusedOnlyWithoutQualityMode) {
  const bool open = Shown([&] {
    PickItem(List("cb_ogg_fre"), 9);  // 48000 Hz
    PickItem(List("cb_ogg_bitrate"), 0);  // 8 kbit/s nominal
    EXPECT_TRUE(dialogs.infoTexts().isEmpty()) << "quality mode: no check";
    QTest::mouseClick(dialog->findChild<QCheckBox*>("cb_ogg_quality"), Qt::LeftButton, {}, QPoint(8, 8));
    PickItem(List("cb_ogg_minbit"), 0);
    PickItem(List("cb_ogg_maxbit"), 0);
    EXPECT_FALSE(dialogs.infoTexts().isEmpty());
    for (const QString& text : dialogs.infoTexts()) EXPECT_EQ(text, Tfm_set::kOggNotSupported);
    dialogs.shown.clear();
    ClickOk();
    EXPECT_EQ(dialogs.infoTexts(), QStringList{Tfm_set::kOggNotSupported});
  });
  EXPECT_TRUE(open);
  EXPECT_FALSE(QFile::exists(dir.file("Snipwave.ini")));
}

// Before any OK the jobs read [ogg] "enable quality" with their own default
// (off) while the dialog shows it on; after OK both follow the file.
TEST_F(SettingsDialogRealWriterTest, JobsUseQualityModeOnlyOnceTheDialogWroteIt) {
  ::testing::NiceMock<MockAudioWriter> jobWriter;
  ON_CALL(jobWriter, CheckOggFormat(_, _, _, _, _)).WillByDefault(Return(true));
  TAudioFile2LameEnc encoder;

  EXPECT_CALL(jobWriter, SetOggFormat(44100, 2, 128, _, _, -1));  // quality mode off
  EXPECT_FALSE(ApplyOutputSettings(OutputType::Ogg, *store, jobWriter, encoder).refused());
  ::testing::Mock::VerifyAndClearExpectations(&jobWriter);

  Shown([&] {
    EXPECT_TRUE(dialog->findChild<QCheckBox*>("cb_ogg_quality")->isChecked());
    ClickOk();
  });
  EXPECT_CALL(jobWriter, SetOggFormat(44100, 2, 128, _, _, 300));  // quality 300
  EXPECT_FALSE(ApplyOutputSettings(OutputType::Ogg, *store, jobWriter, encoder).refused());
}
