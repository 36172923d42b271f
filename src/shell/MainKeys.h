#pragma once

#include <QKeySequence>
#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

class QKeyEvent;
class QWidget;

namespace snipwave {

// What the main window's keys run. Each one is the operation of the command
// it stands for, with that command's refusals.
struct KeyCommands {
  std::function<void()> PlayPause;      // Space: play, or pause / resume a running preview
  std::function<void()> SetBeginHere;   // B, [
  std::function<void()> SetEndHere;     // E, ]
  std::function<void()> PlayRange;      // P
  std::function<void()> SplitHere;      // S: split the row at the position
  std::function<void()> RemoveRow;      // Delete
  std::function<void()> MoveUp;         // Ctrl+Up
  std::function<void()> MoveDown;       // Ctrl+Down
  std::function<void()> AddFiles;       // Ctrl+O
  std::function<void()> AddFolder;      // Ctrl+Shift+O
  std::function<void()> Cut;            // Ctrl+Enter
  std::function<void()> CutSelected;    // Ctrl+Shift+Enter: the selected rows only
  std::function<void()> Join;           // Ctrl+J
  std::function<void()> Stop;           // Escape
  std::function<void()> ToBegin;        // Home
  std::function<void()> ToEnd;          // End
  std::function<void(std::int32_t ms)> MoveMs;          // Left/Right (1 s), with Shift (0.1 s)
  std::function<void(std::int64_t frames)> MoveFrames;  // Ctrl+Left/Right (one MP3 frame)
  std::function<void()> ZoomToRange;    // Z: the marked range fills the waveform
  std::function<void()> ZoomToFile;     // Shift+Z: the whole file
  std::function<void()> Undo;           // Ctrl+Z
  std::function<void()> Redo;           // Ctrl+Shift+Z, Ctrl+Y
};

// The main window's keyboard. Installed as an event filter on the window and
// on the controls that take the focus; a key keeps its own meaning in the
// control that has one: in the list, Up/Down, Page Up/Down, Home and End
// move the selection; in the format list its keys choose the format; in an
// editable text field every key edits.
class MainKeys final : public QObject {
 public:
  static constexpr std::int64_t kMp3FrameSamples = 1152;

  MainKeys(KeyCommands commands, QObject* parent = nullptr) : QObject(parent), commands_(std::move(commands)) {}

  // Keys pressed while `widget` (or the window itself) has the focus.
  void Watch(QWidget* widget, bool isList = false);
  // Runs the key's command; false when the key means nothing here.
  bool Handle(const QKeyEvent& event, bool inList);

  // The keys to show beside the menu items (item object name, key).
  static std::vector<std::pair<QString, QKeySequence>> MenuKeys();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  KeyCommands commands_;
  QPointer<QWidget> list_;
};

}  // namespace snipwave
