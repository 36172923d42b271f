#include "tracks/ListHistory.h"

#include <QTimer>
#include <QUndoCommand>

namespace snipwave {

bool SameEdits(const ListSnapshot& a, const ListSnapshot& b) {
  if (a.records != b.records || a.rows.size() != b.rows.size()) return false;
  for (std::size_t i = 0; i < a.rows.size(); ++i) {
    TrackRowTexts x = a.rows[i];
    TrackRowTexts y = b.rows[i];
    x.cells[kStatusCell].clear();
    y.cells[kStatusCell].clear();
    if (!(x == y)) return false;
  }
  return true;
}

// One edit: the list before and after it. QUndoStack::push runs redo() at
// once, when the list already is "after": that first redo does nothing.
class ListHistory::Step final : public QUndoCommand {
 public:
  Step(ListHistory& history, const QString& name, ListSnapshot before, ListSnapshot after)
      : QUndoCommand(name), history_(history), before_(std::move(before)), after_(std::move(after)) {}

  void undo() override { history_.Restore(before_); }
  void redo() override {
    if (pushed_) history_.Restore(after_);
    pushed_ = true;
  }

 private:
  ListHistory& history_;
  ListSnapshot before_;
  ListSnapshot after_;
  bool pushed_ = false;
};

ListHistory::ListHistory(MainState& state, QObject* parent)
    : QObject(parent), state_(state), baseline_(TakeListSnapshot(state)) {}

// The steps refer to this object: they go first.
ListHistory::~ListHistory() { stack_.clear(); }

void ListHistory::Record(const QString& step, const std::function<void()>& edit) {
  if (!edit) return;
  if (depth_ > 0 || restoring_) {
    edit();
    return;
  }
  KeepUnrecorded();
  ListSnapshot before = TakeListSnapshot(state_);
  ++depth_;
  try {
    edit();
  } catch (...) {
    --depth_;
    Push(step, std::move(before), TakeListSnapshot(state_));
    throw;
  }
  --depth_;
  Push(step, std::move(before), TakeListSnapshot(state_));
}

void ListHistory::Push(const QString& step, ListSnapshot before, ListSnapshot after) {
  baseline_ = after;
  if (SameEdits(before, after)) return;
  stack_.push(new Step(*this, step.isEmpty() ? kUnnamedStep : step, std::move(before), std::move(after)));
}

void ListHistory::Changed() {
  if (depth_ > 0 || restoring_ || keepQueued_) return;
  keepQueued_ = true;
  QTimer::singleShot(0, this, [this] {
    keepQueued_ = false;
    if (depth_ == 0 && !restoring_) KeepUnrecorded();
  });
}

void ListHistory::KeepUnrecorded() {
  ListSnapshot now = TakeListSnapshot(state_);
  ListSnapshot before = baseline_;
  Push(kUnnamedStep, std::move(before), std::move(now));
}

bool ListHistory::Refused() const { return state_.Playing || state_.ListLocked() || depth_ > 0; }

bool ListHistory::Undo() {
  if (Refused()) return false;
  KeepUnrecorded();
  if (!stack_.canUndo()) return false;
  stack_.undo();
  return true;
}

bool ListHistory::Redo() {
  if (Refused()) return false;
  KeepUnrecorded();
  if (!stack_.canRedo()) return false;
  stack_.redo();
  return true;
}

void ListHistory::Reset() {
  stack_.clear();
  baseline_ = TakeListSnapshot(state_);
}

void ListHistory::Restore(const ListSnapshot& snapshot) {
  // A sample-exact position stands only while its row still holds its file.
  const int preciseRow = state_.PreciseRow;
  const Timerec precise = preciseRow >= 0 && preciseRow < kTrackTableSize
                              ? state_.TrackTable[static_cast<std::size_t>(preciseRow)]
                              : Timerec{};
  restoring_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{restoring_};
  RestoreListSnapshot(state_, snapshot);
  // Exactly as it was, also where an empty list had kept an older row's
  // index (select row clamps it when it is read).
  state_.LastSelectedRow = snapshot.lastSelected;
  if (preciseRow >= 0) {
    const bool kept = preciseRow < state_.TrackCount &&
                      state_.TrackTable[static_cast<std::size_t>(preciseRow)].FilePath == precise.FilePath &&
                      state_.TrackTable[static_cast<std::size_t>(preciseRow)].TotalSamples == precise.TotalSamples;
    if (!kept) state_.PreciseSample = -1, state_.PreciseBar = -1, state_.PreciseRow = -1;
  }
  baseline_ = TakeListSnapshot(state_);
}

}  // namespace snipwave
