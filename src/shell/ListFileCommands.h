#pragma once

#include <QString>
#include <QTimer>
#include <functional>

#include "tracks/ListFile.h"

namespace snipwave {

struct MainState;

// The list as a document: kept in the settings folder as the user works, and
// saved to and opened from list files of the user's choosing.
//
// The saved list is written (atomically) once the edits pause for
// kSaveDelayMs, so a crash or a power cut loses at most that much work. It
// holds the rows, the selected row and the output choices (format, folder).
class ListFileCommands {
 public:
  static constexpr int kSaveDelayMs = 1000;
  // The output format list, read and set through the window.
  struct FormatAccess {
    std::function<int()> index;
    std::function<int()> count;
    std::function<void(int)> choose;
  };

  ListFileCommands(MainState& state, FormatAccess format);

  // The list, the selection or an output choice changed. The list as it is
  // now is kept once the edits pause; an empty list is not kept (the kept
  // list stays the last one that had rows).
  void Changed();
  // A save still waiting is written now (the window closes).
  void SaveNow();
  bool SavePending() const { return timer_.isActive(); }

  // File menu: "Save list…", "Open list…", "Reopen last list". Opening
  // replaces the list (one step to undo) and is refused, silently, while
  // adding, converting or previewing; a file that cannot be used is said and
  // changes nothing.
  void SaveList();
  void OpenList();
  void ReopenLastList();
  // At start-up with "Start with the last list" on: the saved list, if any.
  void StartWithLastList();

  // Where the list is kept as the user works.
  static QString SavedListPath();

 private:
  ListDocument CurrentDocument() const;
  bool OpenRefused() const;
  // Replaces the list by the rows of `list` that can still be used; when no
  // row can, the list stays as it is. Sources left out are named in one message.
  void Restore(const ListDocument& list);
  void WriteSavedList();

  MainState& state_;
  FormatAccess format_;
  QTimer timer_;
  ListDocument pending_;  // what the timer writes
  bool saveFailureShown_ = false;  // said once until a save succeeds again
  QString lastListFolder_;
};

}  // namespace snipwave
