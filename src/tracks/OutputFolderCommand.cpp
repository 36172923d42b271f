#include "OutputFolderCommand.h"

#include "settings/SettingsKeys.h"

namespace snipwave {

void ChooseOutputFolder(MainState& state) {
  if (state.Playing || state.Converting) return;
  const QString folder = state.Dialogs->ChooseFolder(QStringLiteral("Output Directory"), true);
  if (folder.isEmpty()) return;
  // The field first: when the write below fails it already shows the new
  // folder while the file keeps the old one, and the error box says so.
  if (state.ShowOutputFolderText) state.ShowOutputFolderText(folder);
  if (state.SettingsFile) state.SettingsFile->WriteString(settings::section::kFormat, settings::key::kDir, folder);
}

}  // namespace snipwave
