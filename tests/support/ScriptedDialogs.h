#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <deque>

#include "platform/DialogService.h"
#include "platform/Launcher.h"

namespace snipwave::test {

// Records every dialog the program shows and answers from a script.
// Unscripted questions are answered No / Cancel.
class ScriptedDialogs final : public IDialogService {
 public:
  struct Shown {
    QString kind;  // "info", "yesno", "open", "save", "folder"
    QString text;  // message, caption, or the filter / folder asked with
    YesNoDefault defaultButton = YesNoDefault::Yes;  // of a "yesno"
  };

  std::deque<bool> yesNoAnswers;
  std::deque<QStringList> openAnswers;
  std::deque<QString> saveAnswers;
  std::deque<QString> folderAnswers;
  QList<Shown> shown;
  QList<FileFilter> lastOpenFilters;
  FileFilter lastSaveFilter;
  QString lastSaveFolder;
  bool lastFolderCentred = false;

  QStringList infoTexts() const {
    QStringList texts;
    for (const Shown& s : shown)
      if (s.kind == "info") texts << s.text;
    return texts;
  }

  void ShowInformation(const QString& text) override { shown.append({"info", text}); }
  bool AskYesNo(const QString& text, YesNoDefault defaultButton = YesNoDefault::Yes) override {
    shown.append({"yesno", text, defaultButton});
    if (yesNoAnswers.empty()) return false;
    const bool answer = yesNoAnswers.front();
    yesNoAnswers.pop_front();
    return answer;
  }
  QStringList GetOpenFileNames(const QList<FileFilter>& filters) override {
    shown.append({"open", filters.isEmpty() ? QString() : filters.first().caption});
    lastOpenFilters = filters;
    if (openAnswers.empty()) return {};
    QStringList answer = openAnswers.front();
    openAnswers.pop_front();
    return answer;
  }
  QString GetSaveFileName(const QString& startFolder, const FileFilter& filter) override {
    shown.append({"save", filter.caption});
    lastSaveFolder = startFolder;
    lastSaveFilter = filter;
    if (saveAnswers.empty()) return {};
    QString answer = saveAnswers.front();
    saveAnswers.pop_front();
    return answer;
  }
  QString ChooseFolder(const QString& caption, bool centre) override {
    shown.append({"folder", caption});
    lastFolderCentred = centre;
    if (folderAnswers.empty()) return {};
    QString answer = folderAnswers.front();
    folderAnswers.pop_front();
    return answer;
  }
};

// Records what the program asked the desktop to open.
class RecordingLauncher final : public ILauncher {
 public:
  QStringList folders, urls, helpFiles;
  bool folderOpens = true;  // what OpenFolder answers
  bool OpenFolder(const QString& folder) override {
    folders << folder;
    return folderOpens;
  }
  void OpenUrl(const QString& url) override { urls << url; }
  void OpenHelpFile(const QString& path) override { helpFiles << path; }
};

}  // namespace snipwave::test
