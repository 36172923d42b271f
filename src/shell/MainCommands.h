#pragma once

#include <functional>

#include "components/skin/SkinInterfaces.h"

namespace snipwave {

// The operations the skin's command objects and the popup menus start. The
// main window runs them by name; the features fill them in. An operation
// applies its own refusals (mode flags, empty list) — the dispatch does not.
struct MainCommands {
  std::function<void()> ChooseOutputDirectory;  // "dir"
  std::function<void()> Play;                   // "play", Play1
  std::function<void()> PauseToggle;            // "pause"
  std::function<void()> Stop;                   // "stop", "playstop", Stop1, Stop2, OnEndPlay
  std::function<void()> ShowSettings;           // "set"
  std::function<void()> AddFiles;               // "add", AddFile2, AddFiles1
  std::function<void()> RemoveRow;              // "del", DelFile2, Remove1
  std::function<void()> ClearList;              // "clear", Clear2, Clear3
  std::function<void()> MoveUp;                 // "up", UP1
  std::function<void()> MoveDown;               // "down", Down1
  std::function<void()> Cut;                    // "cut", Cut2
  std::function<void()> CutSelected;            // CutSelected1: the selected rows only
  std::function<void()> Join;                   // "combine", Join1
  std::function<void()> SetBegin;               // "begintime"
  std::function<void()> SetEnd;                 // "endtime"
  std::function<void()> AddFolder;              // "folder", AddFolder2, AddFolder1
  std::function<void()> NudgeForward;           // "uptime"
  std::function<void()> NudgeBack;              // "downtime"
  std::function<void()> ShowAbout;              // About1
  std::function<void()> SelectRow;              // a click in the list (lvClick)
  std::function<void()> Undo;                   // Undo1, Undo2, Ctrl+Z
  std::function<void()> Redo;                   // Redo1, Redo2, Ctrl+Shift+Z, Ctrl+Y

  // Dragging the position bar; the handlers look at the source's name themselves.
  std::function<void(ISkinObject& source, int button, int x, int y)> MouseDown;
  std::function<void(ISkinObject& source, int newPos)> ScrollTrack;
  std::function<void(ISkinObject& source, int button, int x, int y)> MouseUp;
};

}  // namespace snipwave
