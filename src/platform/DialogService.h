#pragma once

#include <QString>
#include <QStringList>

namespace snipwave {

// One filter entry of an open or save dialog: the caption the user sees and
// the wildcard patterns, separated by ';' ("*.mp3;*.wav").
struct FileFilter {
  QString caption;
  QString patterns;
};

// The button a Yes/No question has as its default (what Enter answers).
enum class YesNoDefault { Yes, No };

// Every modal question the program asks. The real implementation shows Qt
// dialogs; tests substitute a scripted double. All calls block until answered.
class IDialogService {
 public:
  virtual ~IDialogService() = default;

  // Information box titled "Information" with the information icon and OK.
  virtual void ShowInformation(const QString& text) = 0;
  // The same box with Yes and No; true only for Yes. A question whose Yes
  // destroys something defaults to No.
  virtual bool AskYesNo(const QString& text, YesNoDefault defaultButton = YesNoDefault::Yes) = 0;
  // Open dialog with multiple selection; the first filter is preselected.
  // Returns the chosen full paths in the dialog's order, empty on cancel.
  virtual QStringList GetOpenFileNames(const QList<FileFilter>& filters) = 0;
  // Plain save dialog (no overwrite prompt, no default extension) starting in
  // startFolder with a single filter entry. Empty on cancel.
  virtual QString GetSaveFileName(const QString& startFolder, const FileFilter& filter) = 0;
  // Modal folder chooser with the given caption; centred over the main window
  // when asked to. Returns the confirmed folder, empty when not confirmed.
  virtual QString ChooseFolder(const QString& caption, bool centreOverMainWindow) = 0;
};

}  // namespace snipwave
