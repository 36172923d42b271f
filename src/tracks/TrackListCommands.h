#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include <vector>

#include "components/cue/SheetRows.h"
#include "state/MainState.h"

namespace snipwave {

// The track list's operations on the main window's shared state: the rows of
// state.lv and the records of state.TrackTable, kept so that record i always
// describes row i. Every operation runs on the GUI thread; a refused one does
// nothing and shows nothing.
//
// While an add runs it lets messages through (state.Adding is true then), so
// clicks can arrive in the middle of it: every operation here that changes
// the list or uses the reader is refused until the add ends.
//
// Uses of `state`: lv, TrackTable, TrackCount, LastSelectedRow, PlayingRow, the
// flags, the skin objects pb/time/begin/end/alltime, AudioFileRead, Dialogs,
// Launcher, MessagePump and HideStartupPicture (empty callbacks/pointers of the
// last three are skipped; lv, AudioFileRead and Dialogs must be set).
class TrackListCommands {
 public:
  explicit TrackListCommands(MainState& state) : state_(state) {}

  // "alltime" := clock text of the sum of RangeSeconds over all rows.
  void RefreshTotal();
  // lvClick: a click in the list. While Playing the selection snaps back to
  // PlayingRow; otherwise the selected row (or LastSelectedRow, clamped, when
  // none is) becomes LastSelectedRow and "begin", "end", "time" show its marks
  // and the bar's place on its time scale.
  void SelectRow();
  // "del": removes the selected row and its record; with several rows
  // selected, every one of them (the row after them, or the last row, is
  // selected then).
  void RemoveSelected();
  // "clear": removes every row; records are left as they are.
  void Clear();
  // "up" / "down": swaps the selected row, and its record, with its neighbour.
  void MoveUp();
  void MoveDown();
  // "add": the open dialog, then one row per file the reader accepts.
  void AddFiles();
  // "folder": the folder dialog ("File Directory"), then one row per audio
  // file directly in the chosen folder that the reader accepts.
  void AddFolder();
  // Paths given to the program (`snipwave FILE...`) or dropped on the list:
  // each file as add files adds its chosen files, each folder as add folder
  // adds a chosen folder, without the dialogs, in the order given. Paths that
  // do not exist are skipped like files the reader refuses.
  void AddPaths(const QStringList& paths);
  // Rows read from a cue sheet or label file: each source probed once as add
  // files probes it, the ranges mapped to its frames, one row per range with
  // its marks, title and tags, appended as an add appends. All or nothing: a
  // source the reader refuses, a range outside its source or more rows than
  // the list holds is said in a box (naming `sheetPath`) and changes nothing.
  // True when the rows were added.
  bool AddRanges(const std::vector<SheetRange>& ranges, const QString& sheetPath);

  // The open dialog's filter entries, first one preselected.
  static QList<FileFilter> OpenDialogFilters();
  // The text of the question asked for a failing ".wma" file; `shownName` is
  // the full path (add files) or the name alone (add folder).
  static QString WmaQuestion(const QString& shownName);
  // The box shown when files were left out because the table is full.
  static QString TableFullMessage(int filesNotAdded);

 private:
  enum class AddKind { Files, Folder };
  // One file to try: `shownName` is what the ".wma" question names; an entry
  // found in a folder lets messages run twice before its probe, a chosen file once.
  struct AddEntry {
    QString path;
    QString shownName;
    AddKind kind;
  };
  struct AppendOutcome {
    int notTried = 0;  // entries left out because the table was full
  };
  // Probes and appends each entry in order.
  AppendOutcome AppendFiles(const QList<AddEntry>& entries);
  // The audio entries directly in `folder`, in name order.
  static QList<AddEntry> FolderEntries(const QString& folder);
  void FinishAdd(AddKind kind, const AppendOutcome& outcome);
  void MoveSelected(int step);
  void RemoveRows(const std::vector<int>& chosen);  // in list order
  void ShowEmptyListTexts();
  // The views that draw the rows (the waveform) follow at once.
  void RowsChanged();
  void PumpMessages();
  // Some command is using the list or the reader in a way another must not disturb.
  bool ListBusy() const { return state_.ListLocked(); }

  MainState& state_;
};

}  // namespace snipwave
