// The program's own "Split at silences" dialog, driven as a user would.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "shell/SilenceSplitDialog.h"

namespace snipwave::test {
namespace {

class RecordingPreview final : public ISilencePreview {
 public:
  QList<SilenceRule> asked;
  QString status = "nothing yet";
  std::function<void()> changed;
  void Find(const SilenceRule& rule) override { asked << rule; }
  QString Status() const override { return status; }
  bool Done() const override { return true; }
  void OnChanged(std::function<void()> c) override { changed = std::move(c); }
};

// Runs `user` on the dialog once it is open; returns what Choose returned.
std::optional<SilenceRule> ChooseWith(const SilenceRule& rule, RecordingPreview& preview,
                                      const std::function<void(QWidget&)>& user) {
  QWidget parent;
  QtSilenceSplitDialog dialog(&parent);
  QTimer::singleShot(0, [&] {
    QWidget* open = QApplication::activeModalWidget();
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(open->objectName(), "fm_silence");
    user(*open);
    if (QApplication::activeModalWidget() == open) open->close();  // never hangs
  });
  return dialog.Choose("song.mp3", rule, preview);
}

TEST(SilenceSplitDialog, AsksForThePartsOfTheValuesShownAndReturnsWhatOkConfirms) {
  RecordingPreview preview;
  const SilenceRule stored{-45.26, 0.5};  // finer than the threshold box shows
  const auto click = [](QWidget& open, const char* button) {
    QTest::mouseClick(open.findChild<QPushButton*>(button), Qt::LeftButton);
  };
  // Untouched: the stored values themselves, asked for at once.
  EXPECT_EQ(ChooseWith(stored, preview, [&](QWidget& open) { click(open, "btn_ok"); }), stored);
  EXPECT_EQ(preview.asked, QList<SilenceRule>{stored});

  // A changed length is asked for once the typing pauses; the status line
  // follows the preview.
  const SilenceRule changed{-45.3, 1.25};
  EXPECT_EQ(ChooseWith(stored, preview,
                       [&](QWidget& open) {
                         open.findChild<QDoubleSpinBox*>("ud_silence_length")->setValue(1.25);
                         QTRY_VERIFY_WITH_TIMEOUT(preview.asked.last() == changed, 5000);
                         preview.status = "The row becomes 4 rows";
                         preview.changed();
                         EXPECT_EQ(open.findChild<QLabel*>("lbl_silence_status")->text(), preview.status);
                         click(open, "btn_ok");
                       }),
            changed);
  EXPECT_FALSE(preview.changed);  // the dialog let go of the preview
  EXPECT_EQ(ChooseWith(stored, preview, [&](QWidget& open) { click(open, "btn_cancel"); }), std::nullopt);
}

}  // namespace
}  // namespace snipwave::test
