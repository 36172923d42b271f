#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

#include "DialogService.h"

namespace snipwave {

// The real dialogs: QMessageBox and QFileDialog, modal over the main window.
// The folder chooser is the program's own dialog, plugged in by the shell.
class QtDialogService final : public IDialogService {
 public:
  using FolderChooser = std::function<QString(const QString& caption, bool centre)>;

  explicit QtDialogService(QWidget* parent = nullptr) : parent_(parent) {}

  void SetParent(QWidget* parent) { parent_ = parent; }
  void SetFolderChooser(FolderChooser chooser) { folderChooser_ = std::move(chooser); }

  void ShowInformation(const QString& text) override;
  bool AskYesNo(const QString& text, YesNoDefault defaultButton = YesNoDefault::Yes) override;
  QStringList GetOpenFileNames(const QList<FileFilter>& filters) override;
  QString GetSaveFileName(const QString& startFolder, const FileFilter& filter) override;
  QString ChooseFolder(const QString& caption, bool centreOverMainWindow) override;

  // "Caption (*.a *.b)" — Qt's filter syntax for one entry.
  static QString QtFilterText(const FileFilter& filter);

 private:
  QPointer<QWidget> parent_;
  FolderChooser folderChooser_;
};

}  // namespace snipwave
