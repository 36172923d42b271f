// Adding paths given without a dialog (the program's command line, a drop on
// the list): what add files and add folder do after their dialogs.
#include <QDir>
#include <QFileInfo>

#include "TrackListCommands.h"

namespace snipwave {

void TrackListCommands::AddPaths(const QStringList& paths) {
  if (ListBusy() || state_.Playing || paths.isEmpty()) return;
  QList<AddEntry> entries;
  bool anyFile = false;
  // In the order given: a folder's entries stand where the folder stood.
  for (const QString& path : paths) {
    const QFileInfo info(path);
    // A path that does not exist is skipped without a message, as a file the
    // reader refuses is.
    if (!info.exists() && !info.isSymLink()) continue;
    if (info.isDir()) {
      entries.append(FolderEntries(info.absoluteFilePath()));
    } else {
      const QString full = info.absoluteFilePath();
      entries.append({full, full, AddKind::Files});
      anyFile = true;
    }
  }

  state_.Adding = true;
  struct Done {
    MainState& state;
    ~Done() { state.Adding = false; }
  } done{state_};

  const AppendOutcome outcome = AppendFiles(entries);
  // Only an add of folders alone leaves the position bar where it was.
  FinishAdd(anyFile ? AddKind::Files : AddKind::Folder, outcome);
}

}  // namespace snipwave
