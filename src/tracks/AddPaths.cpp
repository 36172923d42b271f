// Adding the paths given on the program's command line: what add files and
// add folder do after their dialogs.
#include <QDir>
#include <QFileInfo>

#include "TrackListCommands.h"
#include "platform/FileHelpers.h"

namespace snipwave {

namespace {

// The extensions add folder takes from a folder, compared in lower case.
bool IsFolderAudioEntry(const QString& name) {
  const int dot = name.lastIndexOf(QLatin1Char('.'));
  if (dot < 0) return false;
  static const QStringList kAccepted{".mp3", ".wma", ".wav", ".ogg"};
  return kAccepted.contains(name.mid(dot).toLower());
}

}  // namespace

void TrackListCommands::AddPaths(const QStringList& paths) {
  if (ListBusy() || state_.Playing || paths.isEmpty()) return;
  QStringList files, missing;
  QStringList folders;
  for (const QString& path : paths) {
    const QFileInfo info(path);
    if (!info.exists()) missing << QDir::toNativeSeparators(path);
    else if (info.isDir()) folders << info.absoluteFilePath();
    else files << info.absoluteFilePath();
  }

  state_.Adding = true;
  struct Done {
    MainState& state;
    ~Done() { state.Adding = false; }
  } done{state_};

  if (!files.isEmpty()) FinishAdd(AddKind::Files, AppendFiles(files, files, AddKind::Files));
  for (const QString& folder : folders) {
    QStringList entries, names;
    const QString prefix = WithTrailingSeparator(folder);
    for (const QString& name : ListFolderEntries(folder)) {
      if (!IsFolderAudioEntry(name)) continue;
      entries << prefix + name;
      names << name;
    }
    FinishAdd(AddKind::Folder, AppendFiles(entries, names, AddKind::Folder));
  }
  if (!missing.isEmpty())
    state_.Dialogs->ShowInformation((missing.size() == 1 ? QStringLiteral("This file does not exist:\r")
                                                         : QStringLiteral("These files do not exist:\r")) +
                                    missing.join('\r'));
}

}  // namespace snipwave
