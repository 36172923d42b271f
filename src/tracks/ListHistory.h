#pragma once

#include <QObject>
#include <QString>
#include <QUndoStack>
#include <functional>
#include <memory>
#include <vector>

#include "tracks/ListSnapshot.h"

namespace snipwave {

// Undo and redo of the user's list. Each edit of the rows or their marks is
// one step on a QUndoStack holding the list as it was before and after the
// edit; undoing puts the "before" back whole (records, row texts, selection),
// redoing the "after". The step's name is the command's ("Add files",
// "Set begin", ...), shown in the Edit menu.
//
// What the steps hold is shared: a row that an edit left as it was is one
// copy for every list that has it, and a step's "before" is the list the
// previous step left. A step so costs about the rows it changed, and the
// history keeps at most kMaxSteps of them (the oldest go first).
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
  static constexpr int kMaxSteps = 1000;

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

  // A list as the steps keep it: its rows shared with the other lists kept.
  struct KeptRow {
    Timerec record;
    TrackRowTexts texts;
  };
  struct KeptList {
    std::vector<std::shared_ptr<const KeptRow>> rows;
    int selected = -1;
    int lastSelected = 0;
  };
  using KeptListPtr = std::shared_ptr<const KeptList>;

 private:
  class Step;
  // The list as it is now, sharing each row it has in common with `like`;
  // `like` itself when nothing changed.
  KeptListPtr Keep(const KeptListPtr& like) const;
  // Keeps a change nobody recorded as a step, so that undo never drops it.
  void KeepUnrecorded();
  void Push(const QString& step, KeptListPtr before, KeptListPtr after);
  void Restore(const KeptListPtr& list);

  MainState& state_;
  QUndoStack stack_;
  KeptListPtr baseline_;  // the list when the history last looked
  int depth_ = 0;          // Records running (nested through the event loop)
  bool restoring_ = false;
  bool keepQueued_ = false;
};

}  // namespace snipwave
