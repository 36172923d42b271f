#pragma once

#include <memory>

#include "shell/MainComponents.h"
#include "shell/Tfm_main.h"

namespace snipwave {

class HookedApplication;
class QtDialogService;
class Tfm_about;
class Tfm_dir;
class Tfm_set;

// The program's four windows, created in this order and living until the end:
// fm_main (the main window, the only one shown by the loop), fm_about, fm_dir,
// fm_set (dialogs, hidden until asked for).
class MainProgram {
 public:
  // The real components: FFmpeg reader and writer, MP3 settings, SDL player,
  // the skin engine, Qt dialogs, the desktop launcher, the Qt message pump.
  static MainComponents RealComponents();

  // When `components` holds the Qt dialog service, the program makes the main
  // window its parent and the folder chooser its folder dialog; the service is
  // found inside `components`, so no caller can hand it over too early.
  explicit MainProgram(MainComponents components);
  ~MainProgram();

  // The exception hook and the help key of the whole application.
  void InstallApplicationHooks(HookedApplication& app);

  Tfm_main& fm_main() { return *fm_main_; }
  Tfm_about& fm_about() { return *fm_about_; }
  Tfm_dir& fm_dir() { return *fm_dir_; }
  Tfm_set& fm_set() { return *fm_set_; }

 private:
  std::unique_ptr<Tfm_main> fm_main_;
  std::unique_ptr<Tfm_about> fm_about_;
  std::unique_ptr<Tfm_dir> fm_dir_;
  std::unique_ptr<Tfm_set> fm_set_;
};

// Names the application "Snipwave" for the desktop (its settings and data
// folders, the task bar, the desktop entry "snipwave.desktop"). No window
// title carries the name: each window shows exactly its own title.
void NameTheApplication();

// The window program: application named "Snipwave", the four windows, the loop.
int RunProgram(int& argc, char** argv);

}  // namespace snipwave
