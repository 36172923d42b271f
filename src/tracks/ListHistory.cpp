#include "tracks/ListHistory.h"

#include <QMultiHash>
#include <QTimer>
#include <QUndoCommand>
#include <algorithm>

namespace snipwave {

namespace {

using KeptRow = ListHistory::KeptRow;
using KeptList = ListHistory::KeptList;

// Whether two lists differ by an edit (records, captions, ranges, lengths,
// sizes), leaving the status cells and the selection aside.
bool SameEdits(const KeptList& a, const KeptList& b) {
  if (a.rows.size() != b.rows.size()) return false;
  for (std::size_t i = 0; i < a.rows.size(); ++i) {
    const KeptRow& x = *a.rows[i];
    const KeptRow& y = *b.rows[i];
    if (&x == &y) continue;
    if (x.record != y.record || x.texts.caption != y.texts.caption) return false;
    for (int c = 0; c < kTrackCellCount; ++c)
      if (c != kStatusCell && x.texts.cells[static_cast<std::size_t>(c)] != y.texts.cells[static_cast<std::size_t>(c)])
        return false;
  }
  return true;
}

ListSnapshot SnapshotOf(const KeptList& list) {
  ListSnapshot snapshot;
  for (const auto& row : list.rows) {
    snapshot.records.push_back(row->record);
    snapshot.rows.push_back(row->texts);
  }
  snapshot.selected = list.selected;
  snapshot.lastSelected = list.lastSelected;
  return snapshot;
}

}  // namespace

// One edit: the list before and after it. QUndoStack::push runs redo() at
// once, when the list already is "after": that first redo does nothing.
class ListHistory::Step final : public QUndoCommand {
 public:
  Step(ListHistory& history, const QString& name, KeptListPtr before, KeptListPtr after)
      : QUndoCommand(name), history_(history), before_(std::move(before)), after_(std::move(after)) {}

  void undo() override { history_.Restore(before_); }
  void redo() override {
    if (pushed_) history_.Restore(after_);
    pushed_ = true;
  }

 private:
  ListHistory& history_;
  KeptListPtr before_;
  KeptListPtr after_;
  bool pushed_ = false;
};

ListHistory::ListHistory(MainState& state, QObject* parent) : QObject(parent), state_(state) {
  stack_.setUndoLimit(kMaxSteps);
  baseline_ = Keep(nullptr);
}

// The steps refer to this object: they go first.
ListHistory::~ListHistory() { stack_.clear(); }

ListHistory::KeptListPtr ListHistory::Keep(const KeptListPtr& like) const {
  const ListSnapshot now = TakeListSnapshot(state_);
  auto kept = std::make_shared<KeptList>();
  kept->selected = now.selected;
  kept->lastSelected = now.lastSelected;
  static const std::vector<std::shared_ptr<const KeptRow>> kNone;
  const auto& old = like ? like->rows : kNone;
  // Where the rows of `like` are by source, built once a row is not found
  // at its old place (after a remove, a move or an add in between).
  QMultiHash<QString, std::size_t> bySource;
  const std::size_t count = std::min(now.records.size(), now.rows.size());
  kept->rows.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const auto same = [&](std::size_t j) { return old[j]->record == now.records[i] && old[j]->texts == now.rows[i]; };
    std::shared_ptr<const KeptRow> row;
    if (i < old.size() && same(i)) {
      row = old[i];
    } else {
      if (bySource.isEmpty())
        for (std::size_t j = 0; j < old.size(); ++j) bySource.insert(old[j]->record.FilePath, j);
      const QString& source = now.records[i].FilePath;
      for (auto it = bySource.constFind(source); it != bySource.cend() && it.key() == source && !row; ++it)
        if (same(it.value())) row = old[it.value()];
    }
    if (!row) row = std::make_shared<const KeptRow>(KeptRow{now.records[i], now.rows[i]});
    kept->rows.push_back(std::move(row));
  }
  if (like && kept->rows == like->rows && kept->selected == like->selected && kept->lastSelected == like->lastSelected)
    return like;
  return kept;
}

void ListHistory::Record(const QString& step, const std::function<void()>& edit) {
  if (!edit) return;
  if (depth_ > 0 || restoring_) {
    edit();
    return;
  }
  KeepUnrecorded();
  KeptListPtr before = baseline_;  // the list as it is now
  ++depth_;
  try {
    edit();
  } catch (...) {
    --depth_;
    Push(step, std::move(before), Keep(baseline_));
    throw;
  }
  --depth_;
  Push(step, std::move(before), Keep(baseline_));
}

void ListHistory::Push(const QString& step, KeptListPtr before, KeptListPtr after) {
  baseline_ = after;
  if (SameEdits(*before, *after)) return;
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
  KeptListPtr before = baseline_;
  Push(kUnnamedStep, before, Keep(before));
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
  baseline_ = Keep(nullptr);
}

void ListHistory::Restore(const KeptListPtr& list) {
  const ListSnapshot snapshot = SnapshotOf(*list);
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
  baseline_ = Keep(list);
}

}  // namespace snipwave
