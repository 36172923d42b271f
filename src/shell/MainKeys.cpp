#include "shell/MainKeys.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWidget>

namespace snipwave {

void MainKeys::Watch(QWidget* widget, bool isList) {
  if (!widget) return;
  widget->installEventFilter(this);
  if (isList) list_ = widget;
}

bool MainKeys::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  const int k = key->key();
  const bool ctrl = key->modifiers() & Qt::ControlModifier;
  const bool selectionKey = k == Qt::Key_Up || k == Qt::Key_Down || k == Qt::Key_PageUp || k == Qt::Key_PageDown ||
                            k == Qt::Key_Home || k == Qt::Key_End;
  if (qobject_cast<QComboBox*>(watched) && (selectionKey || k == Qt::Key_Space) && !ctrl) return false;
  if (auto* edit = qobject_cast<QLineEdit*>(watched)) {
    if (!edit->isReadOnly()) return false;
    if (!ctrl && (k == Qt::Key_Home || k == Qt::Key_End)) return false;
  }
  return Handle(*key, watched == list_);
}

bool MainKeys::Handle(const QKeyEvent& event, bool inList) {
  const Qt::KeyboardModifiers mods = event.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
  const bool ctrl = mods & Qt::ControlModifier;
  const bool shift = mods & Qt::ShiftModifier;
  const int k = event.key();
  auto run = [&](const std::function<void()>& command) {
    // Holding a command key runs it once; only the position keys repeat.
    if (!event.isAutoRepeat() && command) command();
    return true;
  };

  switch (k) {
    case Qt::Key_Left:
    case Qt::Key_Right: {
      if (mods & Qt::AltModifier) return false;
      const int sign = k == Qt::Key_Right ? 1 : -1;
      if (ctrl) {
        if (commands_.MoveFrames) commands_.MoveFrames(sign * kMp3FrameSamples);
      } else if (commands_.MoveMs) {
        commands_.MoveMs(sign * (shift ? 100 : 1000));
      }
      return true;
    }
    case Qt::Key_Home:
    case Qt::Key_End:
      if (inList || mods) return false;  // the list's own: first / last row
      if (event.isAutoRepeat()) return true;
      return run(k == Qt::Key_Home ? commands_.ToBegin : commands_.ToEnd);
    case Qt::Key_Up:
    case Qt::Key_Down:
      if (mods != Qt::ControlModifier) return false;
      return run(k == Qt::Key_Up ? commands_.MoveUp : commands_.MoveDown);
    default:
      break;
  }

  if (mods == Qt::NoModifier) {
    switch (k) {
      case Qt::Key_Space: return run(commands_.PlayPause);
      case Qt::Key_B:
      case Qt::Key_BracketLeft: return run(commands_.SetBeginHere);
      case Qt::Key_E:
      case Qt::Key_BracketRight: return run(commands_.SetEndHere);
      case Qt::Key_P: return run(commands_.PlayRange);
      case Qt::Key_S: return run(commands_.SplitHere);
      case Qt::Key_Delete: return run(commands_.RemoveRow);
      case Qt::Key_Escape: return run(commands_.Stop);
      case Qt::Key_Z: return run(commands_.ZoomToRange);
      default: return false;
    }
  }
  // "[" and "]" need Shift or AltGr on some layouts.
  if (!ctrl && (k == Qt::Key_BracketLeft || k == Qt::Key_BracketRight))
    return run(k == Qt::Key_BracketLeft ? commands_.SetBeginHere : commands_.SetEndHere);
  if (mods == Qt::ShiftModifier && k == Qt::Key_Z) return run(commands_.ZoomToFile);
  if (mods == Qt::ControlModifier) {
    switch (k) {
      case Qt::Key_O: return run(commands_.AddFiles);
      case Qt::Key_J: return run(commands_.Join);
      case Qt::Key_Z: return run(commands_.Undo);
      case Qt::Key_Y: return run(commands_.Redo);
      case Qt::Key_Return:
      case Qt::Key_Enter: return run(commands_.Cut);
      default: return false;
    }
  }
  if (mods == (Qt::ControlModifier | Qt::ShiftModifier) && k == Qt::Key_O) return run(commands_.AddFolder);
  if (mods == (Qt::ControlModifier | Qt::ShiftModifier) && k == Qt::Key_Z) return run(commands_.Redo);
  if (mods == (Qt::ControlModifier | Qt::ShiftModifier) && (k == Qt::Key_Return || k == Qt::Key_Enter))
    return run(commands_.CutSelected);
  return false;
}

std::vector<std::pair<QString, QKeySequence>> MainKeys::MenuKeys() {
  return {{"AddFile2", QKeySequence(Qt::CTRL | Qt::Key_O)},
          {"AddFiles1", QKeySequence(Qt::CTRL | Qt::Key_O)},
          {"AddFolder2", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O)},
          {"AddFolder1", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O)},
          {"DelFile2", QKeySequence(Qt::Key_Delete)},
          {"Remove1", QKeySequence(Qt::Key_Delete)},
          {"UP1", QKeySequence(Qt::CTRL | Qt::Key_Up)},
          {"Down1", QKeySequence(Qt::CTRL | Qt::Key_Down)},
          {"Play1", QKeySequence(Qt::Key_Space)},
          {"Stop1", QKeySequence(Qt::Key_Escape)},
          {"Stop2", QKeySequence(Qt::Key_Escape)},
          {"Cut2", QKeySequence(Qt::CTRL | Qt::Key_Return)},
          {"CutSelected1", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Return)},
          {"RemoveSelected1", QKeySequence(Qt::Key_Delete)},
          {"Join1", QKeySequence(Qt::CTRL | Qt::Key_J)},
          {"SetBegin1", QKeySequence(Qt::Key_B)},
          {"SetEnd1", QKeySequence(Qt::Key_E)},
          {"PlayRange1", QKeySequence(Qt::Key_P)},
          {"SplitHere1", QKeySequence(Qt::Key_S)},
          {"Undo1", QKeySequence(Qt::CTRL | Qt::Key_Z)},
          {"Redo1", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)},
          {"Undo2", QKeySequence(Qt::CTRL | Qt::Key_Z)},
          {"Redo2", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)}};
}

}  // namespace snipwave
