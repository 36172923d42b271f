#pragma once

#include <QString>
#include <functional>
#include <vector>

#include "platform/MessagePump.h"
#include "state/TrackListView.h"

namespace snipwave::test {

// An in-memory list with one selection, for logic tests that need no widget.
class FakeTrackList final : public ITrackListView {
 public:
  std::vector<TrackRowTexts> rows;
  int selected = -1;

  int RowCount() const override { return static_cast<int>(rows.size()); }
  int SelectedRow() const override { return selected; }
  void SelectRow(int row) override { selected = (row >= 0 && row < RowCount()) ? row : selected; }
  void DeselectRow(int row) override {
    if (selected == row) selected = -1;
  }
  void AppendRow(const TrackRowTexts& texts) override { rows.push_back(texts); }
  void DeleteRow(int row) override {
    rows.erase(rows.begin() + row);
    if (selected == row) selected = -1;
    else if (selected > row) --selected;
  }
  void DeleteAllRows() override {
    rows.clear();
    selected = -1;
  }
  TrackRowTexts RowTexts(int row) const override { return rows.at(static_cast<std::size_t>(row)); }
  void SetRowTexts(int row, const TrackRowTexts& texts) override { rows.at(static_cast<std::size_t>(row)) = texts; }
  QString CellText(int row, TrackCell cell) const override { return rows.at(static_cast<std::size_t>(row)).cells[cell]; }
  void SetCellText(int row, TrackCell cell, const QString& text) override {
    rows.at(static_cast<std::size_t>(row)).cells[cell] = text;
  }
};

class FakeFormatChooser final : public IFormatChooser {
 public:
  int index = 0;
  bool enabled = true;
  int ItemIndex() const override { return index; }
  void SetEnabled(bool e) override { enabled = e; }
  bool IsEnabled() const override { return enabled; }
};

// Counts the points where an operation lets messages through; can run a
// callback there (to stop a job mid-way, say) and optionally the real loop.
class CountingPump final : public IMessagePump {
 public:
  int calls = 0;
  std::function<void(int call)> onCall;
  bool runRealLoop = false;
  void ProcessPendingMessages() override {
    ++calls;
    if (onCall) onCall(calls);
    if (runRealLoop) real_.ProcessPendingMessages();
  }

 private:
  QtMessagePump real_;
};

}  // namespace snipwave::test
