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

TEST(SilenceSplitDialog, ShowsTheValuesAsksForTheirPartsAndReturnsWhatOkConfirms) {
  RecordingPreview preview;
  const SilenceRule stored{-45.26, 0.5};  // finer than the threshold box shows
  const auto okAfter = [&](const std::function<void(QWidget&)>& change) {
    return ChooseWith(stored, preview, [&](QWidget& open) {
      auto* threshold = open.findChild<QDoubleSpinBox*>("ud_silence_threshold");
      auto* status = open.findChild<QLabel*>("lbl_silence_status");
      ASSERT_TRUE(threshold && status);
      EXPECT_EQ(threshold->value(), -45.3);
      EXPECT_EQ(status->text(), "nothing yet");
      change(open);
      QTest::mouseClick(open.findChild<QPushButton*>("btn_ok"), Qt::LeftButton);
    });
  };

  // Untouched: the stored values themselves, as asked for at once.
  EXPECT_EQ(okAfter([](QWidget&) {}), stored);
  EXPECT_EQ(preview.asked, QList<SilenceRule>{stored});

  // A changed length: its parts are asked for once the typing pauses, and
  // the line follows what the preview says.
  preview.asked.clear();
  const std::optional<SilenceRule> changed = okAfter([&](QWidget& open) {
    open.findChild<QDoubleSpinBox*>("ud_silence_length")->setValue(1.25);
    QTRY_COMPARE_WITH_TIMEOUT(preview.asked.size(), 2, 5000);
    preview.status = "The row becomes 4 rows";
    preview.changed();
    EXPECT_EQ(open.findChild<QLabel*>("lbl_silence_status")->text(), "The row becomes 4 rows");
  });
  const SilenceRule expected{-45.3, 1.25};
  EXPECT_EQ(changed, expected);
  EXPECT_EQ(preview.asked.last(), expected);
  EXPECT_FALSE(preview.changed);  // the dialog let go of the preview

  // Cancel.
  EXPECT_EQ(ChooseWith(stored, preview,
                       [](QWidget& open) {
                         QTest::mouseClick(open.findChild<QPushButton*>("btn_cancel"), Qt::LeftButton);
                       }),
            std::nullopt);
}

}  // namespace
}  // namespace snipwave::test
