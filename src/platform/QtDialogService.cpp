#include "QtDialogService.h"

#include <QFileDialog>
#include <QMessageBox>

#include "platform/FileHelpers.h"

namespace snipwave {

namespace {
const QString kInformationTitle = QStringLiteral("Information");
}

QString QtDialogService::QtFilterText(const FileFilter& filter) {
  QString patterns = filter.patterns;
  patterns.replace(';', ' ');
  return filter.caption + " (" + patterns + ")";
}

void QtDialogService::ShowInformation(const QString& text) {
  QMessageBox box(QMessageBox::Information, kInformationTitle, text, QMessageBox::Ok, parent_);
  box.exec();
}

bool QtDialogService::AskYesNo(const QString& text, YesNoDefault defaultButton) {
  QMessageBox box(QMessageBox::Information, kInformationTitle, text, QMessageBox::Yes | QMessageBox::No,
                  parent_);
  box.setDefaultButton(defaultButton == YesNoDefault::No ? QMessageBox::No : QMessageBox::Yes);
  return box.exec() == QMessageBox::Yes;
}

QStringList QtDialogService::GetOpenFileNames(const QList<FileFilter>& filters) {
  QStringList entries;
  for (const FileFilter& f : filters) entries << QtFilterText(f);
  QString selected = entries.isEmpty() ? QString() : entries.first();
  // The filter captions already name their patterns ("MP3 Files(*.mp3)"):
  // the dialog must not repeat them.
  QStringList chosen = QFileDialog::getOpenFileNames(parent_, QString(), QString(), entries.join(";;"), &selected,
                                                     QFileDialog::HideNameFilterDetails);
  for (QString& path : chosen) path = ResolveQtFileName(path);
  return chosen;
}

QString QtDialogService::GetSaveFileName(const QString& startFolder, const FileFilter& filter) {
  QFileDialog dialog(parent_, QString(), startFolder, QtFilterText(filter));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  dialog.setOption(QFileDialog::HideNameFilterDetails, true);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return ResolveQtFileName(dialog.selectedFiles().first());
}

QString QtDialogService::ChooseFolder(const QString& caption, bool centreOverMainWindow) {
  if (folderChooser_) return folderChooser_(caption, centreOverMainWindow);
  return ResolveQtFileName(QFileDialog::getExistingDirectory(parent_, caption));
}

}  // namespace snipwave
