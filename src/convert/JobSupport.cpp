#include "convert/JobSupport.h"

#include <exception>

#include "components/audio/AudioInterfaces.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "state/MainState.h"

namespace snipwave {

namespace detail {

bool RefuseJobStart(MainState& state) {
  if (state.Adding) return true;
  if (state.TrackCount <= 0) {
    state.Dialogs->ShowInformation(kPleaseAddFile);
    return true;
  }
  if (state.Playing) {
    state.Dialogs->ShowInformation(kPleaseStopPlaying);
    return true;
  }
  return state.Converting;
}

QString ReadOutputFolder(const MainState& state, const QString& override) {
  if (!override.isEmpty()) return override;
  const QString folder =
      state.SettingsFile->ReadString(settings::section::kFormat, settings::key::kDir, DefaultOutputFolder());
  return folder.isEmpty() ? DefaultOutputFolder() : folder;
}

void CloseIfOpen(IAudioFile2* file) {
  if (file && file->IsOpen()) file->CloseFile();
}

int ProgressValue(std::int64_t done, std::int64_t count) {
  if (count <= 0) return 10000;
  if (done <= 0) return 0;
  return static_cast<int>((done * 10000 + count / 2) / count);
}

void FinishJob(MainState& state, const QString& folderToOpen) {
  ShowProgress(state, 0);
  state.Converting = false;
  state.cm_Format->SetEnabled(true);
  state.Launcher->OpenFolder(folderToOpen);
}

}  // namespace detail

QStringList AbortJobAfterError(MainState& state) {
  QStringList failures;
  if (!state.Converting) return failures;
  for (IAudioFile2* file : {state.AudioFileRead, state.AudioFileWrite}) {
    try {
      detail::CloseIfOpen(file);
    } catch (const std::exception& e) {
      failures << QString::fromUtf8(e.what());
    }
  }
  detail::FinishJob(state, state.OutputFolder);
  return failures;
}

}  // namespace snipwave
