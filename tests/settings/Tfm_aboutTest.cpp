#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "DialogDriver.h"
#include "ScriptedDialogs.h"
#include "settings/DialogPlacement.h"
#include "settings/LinkLabel.h"
#include "settings/ProductLinks.h"
#include "settings/Tfm_about.h"

using namespace snipwave;
using namespace snipwave::test;

namespace {

class AboutBoxTest : public ::testing::Test {
 protected:
  AboutBoxTest() : about(launcher, &mainWindow) {
    mainWindow.setGeometry(100, 80, 640, 480);
    mainWindow.show();
  }

  bool Shown(const std::function<void()>& whileOpen) {
    return WhileShown(about, [&] { about.ShowModal(); }, whileOpen);
  }
  QLabel* Label(const char* name) { return about.findChild<QLabel*>(name); }
  QPushButton* Button(const char* name) { return about.findChild<QPushButton*>(name); }

  QWidget mainWindow;
  RecordingLauncher launcher;
  Tfm_about about;
};

}  // namespace

TEST_F(AboutBoxTest, ShowsTheProductNameVersionAndDescription) {
  EXPECT_EQ(about.windowTitle(), "About");
  EXPECT_EQ(about.minimumSize(), about.maximumSize()) << "fixed size";
  EXPECT_GE(about.width(), Tfm_about::kClientWidth);
  EXPECT_GE(about.height(), Tfm_about::kClientHeight);
  ASSERT_NE(Label("Image1"), nullptr);
  EXPECT_EQ(Label("Image1")->pixmap().size(), QSize(32, 32));
  EXPECT_FALSE(Label("Image1")->pixmap().toImage().allGray()) << "a drawn icon, not a blank";
  EXPECT_EQ(Label("Label1")->text(), "Snipwave");
  EXPECT_TRUE(Label("Label1")->font().bold());
  EXPECT_EQ(Label("Label2")->text(), "Version: ");
  EXPECT_EQ(Label("Label7")->text(), "1.00");
  EXPECT_EQ(Label("Label5")->text(), "Cut a new small file from a large audio file. ");
  EXPECT_EQ(Label("Label6")->text(), "Marge multiple files to a large new one");
  EXPECT_EQ(Label("lbl_web")->text(), "Visit our web");
  EXPECT_EQ(Label("lbl_web")->cursor().shape(), Qt::PointingHandCursor);
  ASSERT_NE(about.findChild<QFrame*>("Panel1"), nullptr);
  EXPECT_EQ(about.findChild<QFrame*>("Panel1")->height(), 2);
  EXPECT_EQ(Button("btn_contact")->text(), "Contact us ");
  EXPECT_EQ(Button("btn_close")->text(), "Close");
}

TEST_F(AboutBoxTest, LinkTurnsRedUnderThePointerAndBlueAgain) {
  auto* link = about.findChild<LinkLabel*>("lbl_web");
  ASSERT_NE(link, nullptr);
  Shown([&] {
    EXPECT_EQ(link->TextColor(), QColor(Qt::blue));
    const QPointF inside(5, 5);
    QEnterEvent enter(inside, link->mapTo(&about, inside), link->mapToGlobal(inside));
    QApplication::sendEvent(link, &enter);
    EXPECT_EQ(link->TextColor(), QColor(Qt::red));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(link, &leave);
    EXPECT_EQ(link->TextColor(), QColor(Qt::blue));
  });
}

TEST_F(AboutBoxTest, LinksOpenTheHomeAndFaqPagesAndCloseCloses) {
  const bool open = Shown([&] {
    QTest::mouseClick(Label("lbl_web"), Qt::LeftButton);
    QTest::mouseClick(Button("btn_contact"), Qt::LeftButton);
    EXPECT_TRUE(about.isVisible());
    QTest::mouseClick(Button("btn_close"), Qt::LeftButton);
  });
  EXPECT_FALSE(open);
  EXPECT_EQ(launcher.urls, (QStringList{links::HomePage(), links::FaqPage()}));
  // A right click on the link opens nothing.
  Shown([&] { QTest::mouseClick(Label("lbl_web"), Qt::RightButton); });
  EXPECT_EQ(launcher.urls.size(), 2);
}

TEST_F(AboutBoxTest, CentredOverTheMainWindowEveryTimeWhereverItStands) {
  for (const QPoint& place : {QPoint(100, 80), QPoint(700, 20), QPoint(-250, -100)}) {
    mainWindow.move(place);
    Shown([&] {
      const QPoint expected = CentredPosition(mainWindow.frameGeometry(), about.frameGeometry().size(), false);
      EXPECT_EQ(about.frameGeometry().topLeft(), expected);
      // Whatever the user does with it while open, the next showing centres again.
      about.move(5, 5);
    });
  }
}
