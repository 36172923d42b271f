#pragma once

#include <QDialog>
#include <QString>

class QFileSystemModel;
class QPushButton;
class QTreeView;

namespace snipwave {

// The folder chooser: a modal tree of the folders of the file system (no
// files), rooted at its top, with the user's home folder opened and selected
// the first time. Created once and only hidden between showings, so the
// opened branches and the selection stay from one showing to the next.
//
// Its result, ChosenFolder(), is cleared at every showing, set by Ok to the
// selected folder's full path (native separators; a root such as "/" or "C:\"
// ends in the separator, no other folder does) and left empty by Cancel and
// the close box.
class Tfm_dir final : public QDialog {
  Q_OBJECT

 public:
  // Client area in pixels.
  static constexpr int kClientWidth = 287;
  static constexpr int kClientHeight = 254;

  // mainWindow: the window the chooser is centred over on request (and its parent).
  explicit Tfm_dir(QWidget* mainWindow);

  // Sets the caption, centres the chooser over the main window when asked
  // (else it shows where it last stood), shows it modally and returns
  // ChosenFolder(): the confirmed folder, or empty. The entry the dialog
  // service's folder chooser calls.
  QString Choose(const QString& caption, bool centreOverMainWindow);

  const QString& ChosenFolder() const { return ChosenFolder_; }

  // The full path of the folder selected in the tree, empty when none.
  QString SelectedFolder() const;

  void btn_okClick();
  void btn_cancelClick();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void RevealHomeFolder();

  QWidget* mainWindow_;
  QString ChosenFolder_;
  bool homeRevealed_ = false;

  QFileSystemModel* model_ = nullptr;
  QTreeView* ShellTreeView1 = nullptr;
  QPushButton* btn_ok = nullptr;
  QPushButton* btn_cancel = nullptr;
};

}  // namespace snipwave
