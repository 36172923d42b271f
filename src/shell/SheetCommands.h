#pragma once

namespace snipwave {

struct MainState;
class TrackListCommands;

// File menu: cue sheets and label files in and out of the list.
// Imports add rows through the add (TrackListCommands::AddRanges), so they
// are refused as an add is and end with state.RowsChanged(). Exports write
// the rows of the selected row's source (refused, like an add, while a job,
// an add or a preview runs); a failure to write is an Error.
class SheetCommands {
 public:
  SheetCommands(MainState& state, TrackListCommands& tracks) : state_(state), tracks_(tracks) {}

  // "Import cue sheet…": one row per audio TRACK of each FILE; the data
  // tracks left out are named in a message after the import.
  void ImportCueSheet();
  // "Export cue sheet…": says when a mark moved to the sheet's 1/75 s or an
  // end could not be kept.
  void ExportCueSheet();
  // "Import labels…": rows of the selected row's source (with none selected,
  // the audio file is asked for after the label file).
  void ImportLabels();
  // "Export labels…".
  void ExportLabels();

 private:
  MainState& state_;
  TrackListCommands& tracks_;
};

}  // namespace snipwave
