#pragma once

#include <QString>
#include <functional>
#include <vector>

#include "components/audio/AudioInterfaces.h"
#include "components/skin/SkinInterfaces.h"
#include "platform/DialogService.h"
#include "platform/Launcher.h"
#include "platform/MessagePump.h"
#include "settings/SettingsStore.h"
#include "state/SkinBinding.h"
#include "state/Timerec.h"
#include "state/TrackListView.h"

namespace snipwave {

// The main window's shared state: the flags and counters every operation
// reads and writes, the track table, the bound skin objects, and the
// components and services the operations work through. The main window owns
// the one instance and the components behind the pointers; feature code gets
// it by reference. Tests build one with fakes or real components.
//
// Modes: idle (no flag), previewing (Playing), paused (Playing && Paused),
// converting (Converting). Clearing Converting asks a running job to stop.
struct MainState {
  // --- flags and counters ---------------------------------------------------
  bool Playing = false;
  bool Paused = false;
  bool Converting = false;
  bool Adding = false;  // an add is letting messages through; list commands wait
  int TrackCount = 0;
  int PlayingRow = 0;
  int LastSelectedRow = 0;
  std::int64_t PlayStartSample = 0;  // source frame at which the current preview started
  // The exact frame a sample-precise road (the waveform, the position keys)
  // last put the position at; it stands for the position while "pb" still
  // shows PreciseBar, the bar value it was shown as, for row PreciseRow. -1: none.
  std::int64_t PreciseSample = -1;
  int PreciseBar = -1;
  int PreciseRow = -1;
  // Where "Split at silences" would split row SplitPreviewRow (frames of its
  // file), shown on the waveform while its dialog is open. -1: no preview.
  std::vector<std::int64_t> SplitPreview;
  int SplitPreviewRow = -1;
  QString OutputFolder;     // folder of the current or last job
  SkinRect ProgressBarRect;
  TrackTableArray TrackTable;

  // The window's one mode, read from the flags above, and what it refuses:
  // while an add or a job runs, nothing may change the list or its marks (a
  // job reads them when it starts and reports into the rows).
  enum class Mode { Idle, Adding, Previewing, Paused, Converting };
  Mode CurrentMode() const {
    if (Converting) return Mode::Converting;
    if (Adding) return Mode::Adding;
    if (Playing) return Paused ? Mode::Paused : Mode::Previewing;
    return Mode::Idle;
  }
  bool ListLocked() const { return CurrentMode() == Mode::Converting || CurrentMode() == Mode::Adding; }

  // --- skin objects bound at start-up -----------------------------------------
  SkinBinding pb;  // position bar, 0..20000
  SkinBinding time;
  SkinBinding begin;
  SkinBinding end;
  SkinBinding alltime;
  SkinBinding pospb;  // job progress bar
  SkinBinding showpos;

  // --- components and services (not owned) -----------------------------------
  SettingsStore* SettingsFile = nullptr;
  IAudioFile2* AudioFileRead = nullptr;
  IAudioFile2* AudioFileWrite = nullptr;
  // Reads every finished output back to check its length; none: no check.
  IAudioFile2* AudioFileCheck = nullptr;
  // Reads around a mark to move it to a zero crossing ([Level] SnapToZero);
  // none: marks stay where they are set.
  IAudioFile2* AudioFileMarks = nullptr;
  IAudioFile2LameEnc* AudioFile2LameEnc = nullptr;
  IAudioPlayer2* AudioPlayer1 = nullptr;
  ITrackListView* lv = nullptr;
  IFormatChooser* cm_Format = nullptr;
  IDialogService* Dialogs = nullptr;
  ILauncher* Launcher = nullptr;
  IMessagePump* MessagePump = nullptr;

  // --- plain controls of the main window, reached through the window ------------
  std::function<void()> HideStartupPicture;                   // hides GroupBox1 for good
  std::function<void(const QString&)> ShowOutputFolderText;  // the text of Edt_dir
  std::function<void(int row)> MarksChanged;                 // a mark of the row was set (views follow)
  std::function<void()> RowsChanged;  // rows were added, removed, moved or split (views follow)
};

// The job progress display: n in hundredths of a percent (0..10000, larger
// values are shown as 100 %, an empty list as 0). The bar "pospb" is 523 px
// wide at 100 %; "showpos" shows "N%" and is hidden at 0.
void ShowProgress(MainState& state, int n);

}  // namespace snipwave
