#pragma once

#include <QObject>
#include <QString>
#include <QUndoStack>
#include <functional>

#include "tracks/ListSnapshot.h"

namespace snipwave {

// Undo and redo of the user's list. Each edit of the rows or their marks is
// one step on a QUndoStack holding the list as it was before and after the
// edit; undoing puts the "before" back whole (records, row texts, selection),
// redoing the "after". The step's name is the command's ("Add files",
// "Set begin", ...), shown in the Edit menu.
//
// What counts as an edit: a change of a record or of a row's caption, range,
// length or size. The status cell ("Playing", "Finish", ...) and the
// selection alone are not edits, so previews and jobs never make steps; they
// are restored with the step all the same.
//
// Undo and redo are refused silently while an add, a job or a preview runs
// (the rows are in use then), as the other list commands are.
class ListHistory final : public QObject {
 public:
  static inline const QString kUnnamedStep = QStringLiteral("Edit list");

  explicit ListHistory(MainState& state, QObject* parent = nullptr);
  ~ListHistory() override;

  // Runs `edit` and keeps what it changed as one step named `step` (nothing
  // when it changed nothing). An edit run inside another's Record belongs to
  // the outer step. An exception from `edit` passes on, after what it had
  // changed by then was kept.
  void Record(const QString& step, const std::function<void()>& edit);

  // The rows or marks changed (state.RowsChanged / MarksChanged). Outside a
  // Record (a result that arrived later) the change becomes a step of its
  // own once control is back in the event loop; inside one, the Record keeps it.
  void Changed();

  // False when refused or when there is nothing to undo / redo.
  bool Undo();
  bool Redo();
  bool Refused() const;

  // Forgets every step; the list as it is now is where undo stops.
  void Reset();

  const QUndoStack& Stack() const { return stack_; }
  QUndoStack& Stack() { return stack_; }

 private:
  class Step;
  // Keeps a change nobody recorded as a step, so that undo never drops it.
  void KeepUnrecorded();
  void Push(const QString& step, ListSnapshot before, ListSnapshot after);
  void Restore(const ListSnapshot& snapshot);

  MainState& state_;
  QUndoStack stack_;
  ListSnapshot baseline_;  // the list when the history last looked
  int depth_ = 0;          // Records running (nested through the event loop)
  bool restoring_ = false;
  bool keepQueued_ = false;
};

// Whether two snapshots differ by an edit (records, captions, ranges,
// lengths, sizes), leaving the status cells and the selection aside.
bool SameEdits(const ListSnapshot& a, const ListSnapshot& b);

}  // namespace snipwave
