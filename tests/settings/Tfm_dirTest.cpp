#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

#include "DialogDriver.h"
#include "TempDir.h"
#include "settings/DialogPlacement.h"
#include "settings/Tfm_dir.h"

using namespace snipwave;
using namespace snipwave::test;

namespace {

// The chooser over a folder of our own: <tmp>/home (the user's home folder
// for the test) holding the folders "music" and "talks" and a file.
class FolderChooserTest : public ::testing::Test {
 protected:
  FolderChooserTest() {
    oldHome = qgetenv("HOME");
    home = QDir(tmp.path()).filePath("home");
    QDir().mkpath(home + "/music/inner");
    QDir().mkpath(home + "/talks");
    // Folders listed before the home folder, so that it starts out of sight.
    for (int i = 0; i < 40; ++i) QDir().mkpath(QDir(tmp.path()).filePath(QString("a%1").arg(i, 2, 10, QChar('0'))));
    QFile file(home + "/notes.txt");
    file.open(QIODevice::WriteOnly);
    file.write("not a folder");
    file.close();
    qputenv("HOME", home.toUtf8());
    mainWindow.setGeometry(300, 200, 800, 600);
    mainWindow.show();
    chooser = std::make_unique<Tfm_dir>(&mainWindow);
    view = chooser->findChild<QTreeView*>("ShellTreeView1");
    model = qobject_cast<QFileSystemModel*>(view->model());
  }
  ~FolderChooserTest() override {
    chooser.reset();
    qputenv("HOME", oldHome);
  }

  // Runs `whileOpen` in a showing by Choose; returns Choose's result.
  QString Choose(const QString& caption, bool centre, const std::function<void()>& whileOpen) {
    QString result;
    WhileShown(*chooser, [&] { result = chooser->Choose(caption, centre); }, whileOpen);
    return result;
  }
  void Click(const char* button) { QTest::mouseClick(chooser->findChild<QPushButton*>(button), Qt::LeftButton); }
  void Select(const QString& path) { view->setCurrentIndex(model->index(path)); }
  // The sub-folders the tree lists under `path`, once the model has read the
  // whole folder (it reads on a thread of its own).
  QStringList ChildNames(const QString& path) {
    const QModelIndex parent = model->index(path);
    bool loaded = false;
    QObject::connect(model, &QFileSystemModel::directoryLoaded, chooser.get(),
                     [&](const QString& folder) { loaded = loaded || folder == path; });
    view->expand(parent);
    // A view lists a branch when it lays itself out; ask for it at once.
    if (model->canFetchMore(parent)) model->fetchMore(parent);
    EXPECT_TRUE(WaitUntil([&] { return loaded; }));
    QObject::disconnect(model, &QFileSystemModel::directoryLoaded, chooser.get(), nullptr);
    QStringList names;
    for (int row = 0; row < model->rowCount(parent); ++row) names << model->index(row, 0, parent).data().toString();
    names.sort();
    return names;
  }

  TempDir tmp;
  QByteArray oldHome;
  QString home;
  QWidget mainWindow;
  std::unique_ptr<Tfm_dir> chooser;
  QTreeView* view = nullptr;
  QFileSystemModel* model = nullptr;
};

}  // namespace

TEST_F(FolderChooserTest, LayoutAndFoldersOnly) {
  EXPECT_EQ(chooser->windowTitle(), "Output Directory");
  EXPECT_EQ(chooser->size(), QSize(Tfm_dir::kClientWidth, Tfm_dir::kClientHeight));
  EXPECT_EQ(chooser->minimumSize(), chooser->maximumSize());
  EXPECT_EQ(chooser->findChild<QPushButton*>("btn_ok")->text(), "Ok");
  EXPECT_EQ(chooser->findChild<QPushButton*>("btn_cancel")->text(), "Cancel");
  ASSERT_NE(view, nullptr);
  ASSERT_NE(model, nullptr);
  // The tree's top is the file system's top.
  ASSERT_GE(model->rowCount(QModelIndex()), 1);
  EXPECT_EQ(model->filePath(model->index(0, 0, QModelIndex())), QDir::rootPath());
  EXPECT_EQ(ChildNames(home), (QStringList{"music", "talks"})) << "no files";
}

TEST_F(FolderChooserTest, HomeFolderIsOpenAndSelectedAtTheFirstShowing) {
  const QString chosen = Choose("Output Directory", true, [&] {
    EXPECT_EQ(chooser->SelectedFolder(), QDir::toNativeSeparators(home));
    for (QModelIndex up = model->index(home).parent(); up.isValid(); up = up.parent())
      EXPECT_TRUE(view->isExpanded(up)) << model->filePath(up).toStdString();
    // In sight once the folders on the way have been listed (the 40 before it too).
    EXPECT_TRUE(WaitUntil([&] {
      if (model->rowCount(model->index(tmp.path())) < 41) return false;
      const QRect row = view->visualRect(view->currentIndex());
      return !row.isEmpty() && view->viewport()->rect().contains(row.center());
    }));
    Click("btn_ok");
  });
  EXPECT_EQ(chosen, QDir::toNativeSeparators(home));
  EXPECT_EQ(chooser->ChosenFolder(), chosen);
}

TEST_F(FolderChooserTest, OkCancelAndCloseBoxWithTheResultClearedAtEveryShowing) {
  const QString talks = QDir::toNativeSeparators(home + "/talks");
  EXPECT_EQ(Choose("Output Directory", true, [&] {
              Select(home + "/talks");
              Click("btn_ok");
            }),
            talks);
  EXPECT_FALSE(talks.endsWith(QDir::separator()));

  // Cancel after an earlier choice: empty, the earlier one is not given again.
  EXPECT_EQ(Choose("Output Directory", true, [&] {
              EXPECT_TRUE(chooser->ChosenFolder().isEmpty()) << "cleared when shown";
              Click("btn_cancel");
            }),
            QString());
  EXPECT_EQ(Choose("Output Directory", true, [&] { chooser->close(); }), QString());

  // Nothing selected: Ok gives empty.
  EXPECT_EQ(Choose("Output Directory", true, [&] {
              view->selectionModel()->clearSelection();
              Click("btn_ok");
            }),
            QString());
}

TEST_F(FolderChooserTest, FileSystemRootEndsInTheSeparator) {
  const QString chosen = Choose("Output Directory", true, [&] {
    Select(QDir::rootPath());
    Click("btn_ok");
  });
  EXPECT_EQ(chosen, QDir::toNativeSeparators(QDir::rootPath()));
  EXPECT_TRUE(chosen.endsWith(QDir::separator()));
}

TEST_F(FolderChooserTest, BranchesAndSelectionStayBetweenShowingsAndRightClickSelects) {
  Choose("File Directory", false, [&] {
    EXPECT_EQ(ChildNames(home + "/music"), QStringList{"inner"});
  });
  Choose("Output Directory", true, [&] {
    EXPECT_TRUE(view->isExpanded(model->index(home + "/music")));
    EXPECT_EQ(chooser->SelectedFolder(), QDir::toNativeSeparators(home)) << "selection kept";
    const QModelIndex talks = model->index(home + "/talks");
    view->scrollTo(talks);
    QCoreApplication::processEvents();
    QTest::mouseClick(view->viewport(), Qt::RightButton, {}, view->visualRect(talks).center());
    EXPECT_EQ(chooser->SelectedFolder(), QDir::toNativeSeparators(home + "/talks"));
    Click("btn_cancel");
  });
  const QString chosen = Choose("Output Directory", true, [&] { Click("btn_ok"); });
  EXPECT_EQ(chosen, QDir::toNativeSeparators(home + "/talks"));
}

TEST_F(FolderChooserTest, CaptionFromTheCallerAndCentredOnlyWhenAsked) {
  Choose("File Directory", false, [&] {
    EXPECT_EQ(chooser->windowTitle(), "File Directory");
    chooser->move(30, 40);
  });
  Choose("File Directory", false, [&] { EXPECT_EQ(chooser->frameGeometry().topLeft(), QPoint(30, 40)); });
  mainWindow.move(50, 60);
  Choose("Output Directory", true, [&] {
    EXPECT_EQ(chooser->windowTitle(), "Output Directory");
    EXPECT_EQ(chooser->frameGeometry().topLeft(),
              CentredPosition(mainWindow.frameGeometry(), chooser->frameGeometry().size(), false));
  });
}
