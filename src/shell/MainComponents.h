#pragma once

#include <memory>

#include "components/audio/AudioInterfaces.h"
#include "components/skin/SkinInterfaces.h"
#include "platform/DialogService.h"
#include "platform/Launcher.h"
#include "platform/MessagePump.h"
#include "convert/JobRequest.h"
#include "shell/SilenceSplitChoice.h"

namespace snipwave {

// What the main window works through, owned by it for the whole run. The
// program fills it with the real components; window tests may put scripted
// dialogs and a recording launcher in.
struct MainComponents {
  std::unique_ptr<IAudioFile2> AudioFileRead;
  std::unique_ptr<IAudioFile2> AudioFileWrite;
  std::unique_ptr<IAudioFile2> AudioFileCheck;  // reads outputs back after writing
  std::unique_ptr<IAudioFile2> AudioFileMarks;  // reads around marks for the zero-crossing snap
  std::unique_ptr<IAudioFile2LameEnc> AudioFile2LameEnc;
  std::unique_ptr<IAudioPlayer2> AudioPlayer1;
  std::unique_ptr<ISkin> Skin1;
  std::unique_ptr<IDialogService> Dialogs;
  std::unique_ptr<ILauncher> Launcher;
  std::unique_ptr<IMessagePump> MessagePump;
  // Makes the readers, writers and encoders of a job's workers; none: the
  // program's own.
  RowComponentsFactory JobComponents;
  // "Split at silences"'s dialog; none: the program's own.
  std::unique_ptr<ISilenceSplitDialog> SilenceSplitDialog;
};

}  // namespace snipwave
