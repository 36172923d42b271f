// Adding files and adding a folder: probe each file with the reader and append
// one row and one record per file the reader accepts.
#include <QDir>
#include <QFileInfo>

#include "TrackListCommands.h"
#include "TrackProbe.h"
#include "TrackRow.h"
#include "platform/ClockText.h"
#include "platform/FileHelpers.h"
#include "settings/ProductLinks.h"

namespace snipwave {

namespace {

const QString kZeroClock = QStringLiteral("00:00:00");

// Holds state.Adding for the length of an add, also when it ends by an exception.
class AddingScope {
 public:
  explicit AddingScope(MainState& state) : state_(state) { state_.Adding = true; }
  ~AddingScope() { state_.Adding = false; }
  AddingScope(const AddingScope&) = delete;
  AddingScope& operator=(const AddingScope&) = delete;

 private:
  MainState& state_;
};

// The text from the last '.' of the name on, lower-cased; empty without a '.'.
QString LowerExtension(const QString& name) {
  const int dot = name.lastIndexOf(QLatin1Char('.'));
  return dot < 0 ? QString() : name.mid(dot).toLower();
}

// The folder add's filter; the reader then decides by the content (an
// ".ogg" holding Opus or FLAC, an ".mp4" holding AAC or ALAC are read).
bool IsAcceptedAudioExtension(const QString& extension) {
  static const QStringList kAccepted{".mp3", ".wma", ".wav", ".ogg", ".flac", ".opus", ".oga", ".m4a",
                                     ".m4b", ".mp4", ".aac", ".aif", ".aiff", ".aifc"};
  return kAccepted.contains(extension);
}

}  // namespace

QList<FileFilter> TrackListCommands::OpenDialogFilters() {
  return {{"All Supported Files",
           "*.mp3;*.wav;*.wma;*.ogg;*.flac;*.opus;*.oga;*.m4a;*.m4b;*.mp4;*.aac;*.aif;*.aiff;*.aifc"},
          {"MP3 Files(*.mp3)", "*.mp3"},
          {"WAV Files(*.wav)", "*.wav"},
          {"WMA Files(*.wma)", "*.wma"},
          {"OGG Files(*.ogg)", "*.ogg"},
          {"FLAC Files(*.flac)", "*.flac"},
          {"Opus Files(*.opus;*.oga)", "*.opus;*.oga"},
          {"M4A/AAC Files(*.m4a;*.m4b;*.mp4;*.aac)", "*.m4a;*.m4b;*.mp4;*.aac"},
          {"AIFF Files(*.aif;*.aiff;*.aifc)", "*.aif;*.aiff;*.aifc"}};
}

QString TrackListCommands::WmaQuestion(const QString& shownName) {
  return shownName +
         QStringLiteral(" can not be supported, this problem may be solved by download and install free WMA "
                        "encode and reinstall our software . Will you download it?");
}

QString TrackListCommands::TableFullMessage(int filesNotAdded) {
  const QString limit = QString::number(kTrackTableSize);
  if (filesNotAdded == 1)
    return QStringLiteral("1 of the chosen files was not added because the list holds at most %1 files.")
        .arg(limit);
  return QStringLiteral("%1 of the chosen files were not added because the list holds at most %2 files.")
      .arg(filesNotAdded)
      .arg(limit);
}

void TrackListCommands::AddFiles() {
  if (ListBusy() || state_.Playing) return;
  AddingScope adding(state_);
  const QStringList paths = state_.Dialogs->GetOpenFileNames(OpenDialogFilters());
  if (paths.isEmpty()) return;  // cancelled: nothing changes, the picture stays
  // The ".wma" question names the full path.
  QList<AddEntry> entries;
  for (const QString& path : paths) entries.append({path, path, AddKind::Files});
  FinishAdd(AddKind::Files, AppendFiles(entries));
}

void TrackListCommands::AddFolder() {
  if (ListBusy() || state_.Playing) return;
  AddingScope adding(state_);
  const QString folder = state_.Dialogs->ChooseFolder(QStringLiteral("File Directory"), false);
  if (folder.isEmpty()) return;

  FinishAdd(AddKind::Folder, AppendFiles(FolderEntries(folder)));
}

QList<TrackListCommands::AddEntry> TrackListCommands::FolderEntries(const QString& folder) {
  // One level deep; sub-folders are not entered (one whose name ends in an
  // audio extension is tried as a file and fails).
  QList<AddEntry> entries;
  const QString prefix = WithTrailingSeparator(folder);
  for (const QString& name : ListFolderEntries(folder)) {
    if (!IsAcceptedAudioExtension(LowerExtension(name))) continue;
    entries.append({prefix + name, name, AddKind::Folder});  // the ".wma" question names the entry alone
  }
  return entries;
}

TrackListCommands::AppendOutcome TrackListCommands::AppendFiles(const QList<AddEntry>& entries) {
  ITrackListView& lv = *state_.lv;
  AppendOutcome outcome;
  try {
    for (int k = 0; k < entries.size(); ++k) {
      if (lv.RowCount() >= kTrackTableSize) {
        outcome.notTried = static_cast<int>(entries.size()) - k;
        return outcome;
      }

      PumpMessages();
      if (entries[k].kind == AddKind::Folder) PumpMessages();

      const QString& path = entries[k].path;
      // A file the reader refuses is skipped; only a ".wma" file asks a question.
      const std::optional<ProbedTrack> probed = ProbeTrack(*state_.AudioFileRead, path);
      if (!probed) {
        if (LowerExtension(QFileInfo(path).fileName()) == QLatin1String(".wma") &&
            state_.Dialogs->AskYesNo(WmaQuestion(entries[k].shownName)) && state_.Launcher)
          state_.Launcher->OpenUrl(links::WmaSupportPage());
        continue;
      }
      // The record goes to the index the row is about to take.
      const int row = lv.RowCount();
      state_.TrackTable[static_cast<std::size_t>(row)] = probed->record;
      lv.AppendRow(NewTrackRowTexts(QFileInfo(path).fileName(), probed->record.TotalMs, probed->sizeText));
      state_.TrackCount = lv.RowCount();
    }
  } catch (...) {
    // A failure outside the probe (closing the reader, the dialogs) ends the
    // add; the rows added so far stay and the count and total match them.
    state_.TrackCount = lv.RowCount();
    RefreshTotal();
    throw;
  }
  return outcome;
}

void TrackListCommands::FinishAdd(AddKind kind, const AppendOutcome& outcome) {
  ITrackListView& lv = *state_.lv;
  state_.TrackCount = lv.RowCount();
  RefreshTotal();
  if (lv.SelectedRow() < 0 && lv.RowCount() > 0) {
    lv.SelectRow(0);
    state_.LastSelectedRow = 0;  // a click on empty space restores this row, not one of an earlier list
    state_.end.SetText(ClockTextFromMs(state_.TrackTable[0].TotalMs));
    if (kind == AddKind::Files) state_.pb.SetPosition(0);  // a folder add leaves the bar alone
    state_.time.SetText(kZeroClock);
  }
  if (state_.HideStartupPicture) state_.HideStartupPicture();
  RowsChanged();
  if (outcome.notTried > 0) state_.Dialogs->ShowInformation(TableFullMessage(outcome.notTried));
}

}  // namespace snipwave
