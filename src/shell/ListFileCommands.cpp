#include "shell/ListFileCommands.h"

#include <QDir>
#include <QFileInfo>

#include "platform/Error.h"
#include "platform/FileHelpers.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "state/MainState.h"
#include "tracks/ListRestore.h"

namespace snipwave {

namespace {

const QString kSavedListName = QStringLiteral("Snipwave-list.json");
const FileFilter kListFilter{QStringLiteral("Snipwave lists (*.json)"), QStringLiteral("*.json")};

}  // namespace

ListFileCommands::ListFileCommands(MainState& state, FormatAccess format)
    : state_(state), format_(std::move(format)) {
  timer_.setSingleShot(true);
  timer_.setInterval(kSaveDelayMs);
  QObject::connect(&timer_, &QTimer::timeout, [this] { WriteSavedList(); });
}

QString ListFileCommands::SavedListPath() { return QDir(SettingsStore::SettingsFolder()).filePath(kSavedListName); }

void ListFileCommands::Changed() {
  // An empty list is never kept: the kept list stays the last one that had
  // rows, so a list cleared by mistake can still be reopened.
  if (state_.TrackCount <= 0) return;
  pending_ = CurrentDocument();
  timer_.start();
}

void ListFileCommands::SaveNow() {
  if (!timer_.isActive()) return;
  timer_.stop();
  WriteSavedList();
}

ListDocument ListFileCommands::CurrentDocument() const {
  ListDocument list = ListDocumentOf(state_);
  if (format_.index) list.format = format_.index();
  if (state_.SettingsFile)
    list.outputFolder = state_.SettingsFile->ReadString(settings::section::kFormat, settings::key::kDir, QString());
  return list;
}

void ListFileCommands::WriteSavedList() {
  // Called from the timer: nothing may escape into Qt's frames.
  try {
    const QString path = SavedListPath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    WriteListFile(path, pending_);
    saveFailureShown_ = false;
  } catch (const std::exception& e) {
    if (saveFailureShown_ || !state_.Dialogs) return;
    saveFailureShown_ = true;
    state_.Dialogs->ShowInformation(QStringLiteral("The list could not be kept as you work: %1")
                                        .arg(QString::fromUtf8(e.what())));
  }
}

bool ListFileCommands::OpenRefused() const { return state_.ListLocked() || state_.Playing; }

void ListFileCommands::SaveList() {
  if (state_.Adding) return;
  if (state_.TrackCount <= 0) {
    state_.Dialogs->ShowInformation(QStringLiteral("The list is empty: there is nothing to save."));
    return;
  }
  QString path = state_.Dialogs->GetSaveFileName(lastListFolder_, kListFilter);
  if (path.isEmpty()) return;
  if (QFileInfo(path).suffix().compare(QLatin1String("json"), Qt::CaseInsensitive) != 0)
    path += QStringLiteral(".json");
  if (QFileInfo::exists(path) &&
      !state_.Dialogs->AskYesNo(QDir::toNativeSeparators(path) + QStringLiteral(" exists. Replace it?"),
                                YesNoDefault::No))
    return;
  WriteListFile(path, CurrentDocument());
  lastListFolder_ = QFileInfo(path).absolutePath();
}

void ListFileCommands::OpenList() {
  if (OpenRefused()) return;
  const QStringList chosen =
      state_.Dialogs->GetOpenFileNames({kListFilter, {QStringLiteral("All files"), QStringLiteral("*")}});
  if (chosen.isEmpty()) return;
  Restore(ReadListFile(chosen.first()));  // a file that cannot be used throws before anything changes
  lastListFolder_ = QFileInfo(chosen.first()).absolutePath();
}

void ListFileCommands::ReopenLastList() {
  if (OpenRefused()) return;
  SaveNow();  // the last edits first: reopening gives the list as it is now kept
  if (!QFileInfo::exists(SavedListPath())) {
    state_.Dialogs->ShowInformation(QStringLiteral("No list has been kept yet."));
    return;
  }
  Restore(ReadListFile(SavedListPath()));
}

void ListFileCommands::StartWithLastList() {
  if (!state_.SettingsFile ||
      !state_.SettingsFile->ReadBool(settings::section::kFormat, settings::key::kStartWithLastList, false))
    return;
  if (!QFileInfo::exists(SavedListPath()) || OpenRefused()) return;
  Restore(ReadListFile(SavedListPath()));
}

void ListFileCommands::Restore(const ListDocument& list) {
  if (list.rows.empty()) {
    state_.Dialogs->ShowInformation(QStringLiteral("The list holds no rows; the list stays as it is."));
    return;
  }
  const ListRows rows = RowsOfDocument(*state_.AudioFileRead, list);
  if (!rows.snapshot.records.empty()) {
    RestoreListSnapshot(state_, rows.snapshot);
    if (state_.HideStartupPicture) state_.HideStartupPicture();
    if (list.format >= 0 && format_.choose && format_.count && list.format < format_.count())
      format_.choose(list.format);
    // The folder is taken only where it still is one: a job would fail on it.
    if (!list.outputFolder.isEmpty() && FolderExists(list.outputFolder) && state_.SettingsFile) {
      state_.SettingsFile->WriteString(settings::section::kFormat, settings::key::kDir, list.outputFolder);
      if (state_.ShowOutputFolderText) state_.ShowOutputFolderText(list.outputFolder);
    }
  }
  const QString message = LeftOutMessage(rows.leftOut);
  if (!message.isEmpty()) state_.Dialogs->ShowInformation(message);
}

}  // namespace snipwave
