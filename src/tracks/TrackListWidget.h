#pragma once

#include <QTreeWidget>
#include <functional>

#include "state/TrackListView.h"

namespace snipwave {

// The track list `lv`: a report-style list of five columns ("     FileName"
// 150 px, "   Begin time - End time" 136, "  Time" 75, "  Size" 70,
// "   Status" 80), whole rows selected, several at once with Shift/Ctrl+click,
// Shift+arrows and Ctrl+A (the row the features work on is the current one,
// see SelectedRow), grid lines, no editing,
// headers that do not react to clicks. The context menu is requested through
// customContextMenuRequested (the window attaches its menu).
//
// Like the list control it stands for, a press on empty space clears the
// selection, and every left click — on a row or on empty space — emits
// clicked() once the button is released; the window runs its row selection
// (lvClick) on it. A key that moves the selection (arrows up and down, Page
// Up/Down, Home, End, typing a name) emits it too, so the readouts follow the
// keyboard.
//
// Local files and folders dragged onto the list are accepted; a drop emits
// pathsDropped() with their paths in the order the drag carries them.
//
// A row's tooltip per column comes from ToolTipProvider when one is set.
class TrackListWidget final : public QTreeWidget, public ITrackListView {
  Q_OBJECT

 public:
  explicit TrackListWidget(QWidget* parent = nullptr);

  // Header texts and widths in pixels, left to right.
  static QStringList HeaderTexts();
  static QList<int> ColumnWidths();

  int RowCount() const override;
  int SelectedRow() const override;
  std::vector<int> SelectedRows() const override;
  void SelectRow(int row) override;
  void DeselectRow(int row) override;
  void AppendRow(const TrackRowTexts& texts) override;
  void DeleteRow(int row) override;
  void DeleteAllRows() override;
  TrackRowTexts RowTexts(int row) const override;
  void SetRowTexts(int row, const TrackRowTexts& texts) override;
  QString CellText(int row, TrackCell cell) const override;
  void SetCellText(int row, TrackCell cell, const QString& text) override;

  // column 0 is the caption, 1 + TrackCell the cells; an empty text shows none.
  using ToolTipProvider = std::function<QString(int row, int column)>;
  void SetToolTipProvider(ToolTipProvider provider) { toolTips_ = std::move(provider); }
  // The text the tooltip of a cell shows now.
  QString ToolTipAt(int row, int column) const { return toolTips_ ? toolTips_(row, column) : QString(); }

 signals:
  void listClicked();
  void pathsDropped(const QStringList& paths);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  QTreeWidgetItem* Row(int row) const;  // nullptr outside 0..RowCount()-1
  bool leftPressed_ = false;
  ToolTipProvider toolTips_;
};

}  // namespace snipwave
