#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "platform/QtDialogService.h"

using namespace snipwave;

namespace {
// Answers the next modal dialog once it is up.
template <typename Dialog, typename Fn>
void WhenModal(Fn fn) {
  QTimer::singleShot(0, [fn] {
    auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    fn(dialog);
  });
}
}  // namespace

TEST(QtDialogService, InformationBoxIsTitledInformationWithOneOkButton) {
  QtDialogService dialogs;
  QString title, text;
  QMessageBox::Icon icon{};
  int buttons = 0;
  WhenModal<QMessageBox>([&](QMessageBox* box) {
    title = box->windowTitle();
    text = box->text();
    icon = box->icon();
    buttons = static_cast<int>(box->buttons().size());
    box->button(QMessageBox::Ok)->click();
  });
  dialogs.ShowInformation("Please add file!");
  EXPECT_EQ(title, "Information");
  EXPECT_EQ(text, "Please add file!");
  EXPECT_EQ(icon, QMessageBox::Information);
  EXPECT_EQ(buttons, 1);
}

TEST(QtDialogService, YesNoIsTrueOnlyForYes) {
  QtDialogService dialogs;
  WhenModal<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
  EXPECT_TRUE(dialogs.AskYesNo("File has existed. Overwrite?"));
  WhenModal<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::No)->click(); });
  EXPECT_FALSE(dialogs.AskYesNo("File has existed. Overwrite?"));
  // A question whose Yes destroys something defaults to No; others keep Yes.
  QMessageBox::StandardButton defaults[2] = {};
  for (int i = 0; i < 2; ++i) {
    WhenModal<QMessageBox>([&defaults, i](QMessageBox* box) {
      defaults[i] = box->standardButton(box->defaultButton());
      box->button(QMessageBox::No)->click();
    });
    dialogs.AskYesNo("replace?", i == 0 ? YesNoDefault::No : YesNoDefault::Yes);
  }
  EXPECT_EQ(defaults[0], QMessageBox::No);
  EXPECT_EQ(defaults[1], QMessageBox::Yes);
}

TEST(QtDialogService, FilterTextsUseQtSyntax) {
  EXPECT_EQ(QtDialogService::QtFilterText({"All Supported Files", "*.mp3;*.wav;*.wma;*.ogg"}),
            "All Supported Files (*.mp3 *.wav *.wma *.ogg)");
}

TEST(QtDialogService, FolderChooserHookIsUsed) {
  QtDialogService dialogs;
  QString askedCaption;
  bool askedCentred = false;
  dialogs.SetFolderChooser([&](const QString& caption, bool centre) {
    askedCaption = caption;
    askedCentred = centre;
    return QString("/chosen");
  });
  EXPECT_EQ(dialogs.ChooseFolder("Output Directory", true), "/chosen");
  EXPECT_EQ(askedCaption, "Output Directory");
  EXPECT_TRUE(askedCentred);
}
