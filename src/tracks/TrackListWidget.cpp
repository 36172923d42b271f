#include "TrackListWidget.h"

#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QToolTip>

namespace snipwave {

namespace {
constexpr int kColumnCount = 1 + kTrackCellCount;  // caption + four cells

// The local paths a drag carries, in its order; empty when it carries none.
QStringList LocalPaths(const QMimeData* data) {
  QStringList paths;
  if (!data || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) paths << url.toLocalFile();
  return paths;
}
}

QStringList TrackListWidget::HeaderTexts() {
  return {"     FileName", "   Begin time - End time", "  Time", "  Size", "   Status"};
}

QList<int> TrackListWidget::ColumnWidths() { return {150, 136, 75, 70, 80}; }

TrackListWidget::TrackListWidget(QWidget* parent) : QTreeWidget(parent) {
  setObjectName(QStringLiteral("lv"));
  setColumnCount(kColumnCount);
  setHeaderLabels(HeaderTexts());
  const QList<int> widths = ColumnWidths();
  for (int c = 0; c < kColumnCount; ++c) setColumnWidth(c, widths[c]);

  // Report style: a flat list, no tree decoration.
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setExpandsOnDoubleClick(false);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);

  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSortingEnabled(false);
  header()->setSectionsClickable(false);
  header()->setSectionsMovable(false);
  header()->setStretchLastSection(false);
  header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

  setContextMenuPolicy(Qt::CustomContextMenu);
  setAcceptDrops(true);
  setDragDropMode(QAbstractItemView::DropOnly);

  // Grid lines: every cell draws its right and bottom edge, in the quiet
  // line colour of the palette (the skin's, once it is applied).
  setStyleSheet(QStringLiteral(
      "QTreeView#lv::item { border-right: 1px solid palette(mid); border-bottom: 1px solid palette(mid); }"
      "QTreeView#lv::item:selected { background: palette(highlight); color: palette(highlighted-text); }"));
}

QTreeWidgetItem* TrackListWidget::Row(int row) const {
  if (row < 0 || row >= topLevelItemCount()) return nullptr;
  return topLevelItem(row);
}

int TrackListWidget::RowCount() const { return topLevelItemCount(); }

int TrackListWidget::SelectedRow() const {
  if (QTreeWidgetItem* current = currentItem(); current && current->isSelected()) return indexOfTopLevelItem(current);
  for (int row = 0; row < topLevelItemCount(); ++row)
    if (topLevelItem(row)->isSelected()) return row;
  return -1;
}

std::vector<int> TrackListWidget::SelectedRows() const {
  std::vector<int> rows;
  for (int row = 0; row < topLevelItemCount(); ++row)
    if (topLevelItem(row)->isSelected()) rows.push_back(row);
  return rows;
}

void TrackListWidget::SelectRow(int row) {
  QTreeWidgetItem* item = Row(row);
  if (!item) return;
  setCurrentItem(item, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  scrollToItem(item);
}

void TrackListWidget::DeselectRow(int row) {
  if (QTreeWidgetItem* item = Row(row)) item->setSelected(false);
}

void TrackListWidget::AppendRow(const TrackRowTexts& texts) {
  auto* item = new QTreeWidgetItem;
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);  // not editable
  addTopLevelItem(item);
  SetRowTexts(topLevelItemCount() - 1, texts);
}

void TrackListWidget::DeleteRow(int row) {
  QTreeWidgetItem* item = Row(row);
  if (!item) return;
  const bool wasSelected = item->isSelected();
  delete takeTopLevelItem(row);
  // The list control does not hand the selection on to a neighbour: the
  // caller decides which row is selected next.
  if (wasSelected) clearSelection();
}

void TrackListWidget::DeleteAllRows() { clear(); }

TrackRowTexts TrackListWidget::RowTexts(int row) const {
  TrackRowTexts texts;
  if (QTreeWidgetItem* item = Row(row)) {
    texts.caption = item->text(0);
    for (int c = 0; c < kTrackCellCount; ++c) texts.cells[static_cast<std::size_t>(c)] = item->text(1 + c);
  }
  return texts;
}

void TrackListWidget::SetRowTexts(int row, const TrackRowTexts& texts) {
  QTreeWidgetItem* item = Row(row);
  if (!item) return;
  item->setText(0, texts.caption);
  for (int c = 0; c < kTrackCellCount; ++c) item->setText(1 + c, texts.cells[static_cast<std::size_t>(c)]);
}

QString TrackListWidget::CellText(int row, TrackCell cell) const {
  QTreeWidgetItem* item = Row(row);
  return item ? item->text(1 + cell) : QString();
}

void TrackListWidget::SetCellText(int row, TrackCell cell, const QString& text) {
  if (QTreeWidgetItem* item = Row(row)) item->setText(1 + cell, text);
}

void TrackListWidget::mousePressEvent(QMouseEvent* event) {
  leftPressed_ = event->button() == Qt::LeftButton;
  if (!itemAt(event->position().toPoint())) {
    clearSelection();  // empty space: nothing is selected any more
    event->accept();
    return;
  }
  QTreeWidget::mousePressEvent(event);
}

void TrackListWidget::mouseReleaseEvent(QMouseEvent* event) {
  QTreeWidget::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && leftPressed_) {
    leftPressed_ = false;
    emit listClicked();
  }
}

void TrackListWidget::keyPressEvent(QKeyEvent* event) {
  const int before = SelectedRow();
  QTreeWidget::keyPressEvent(event);
  const bool plain = (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) == 0;
  bool navigation = false;
  switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
      navigation = plain;
      break;
    default:
      break;
  }
  // The selection moved (or was asked to) as by a click: the same row
  // selection must run. Typing a name's first letters selects too.
  if (navigation || SelectedRow() != before) emit listClicked();
}

bool TrackListWidget::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::ToolTip && toolTips_) {
    auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = indexAt(help->pos());
    const QString tip = index.isValid() ? toolTips_(index.row(), index.column()) : QString();
    if (tip.isEmpty()) QToolTip::hideText();
    else QToolTip::showText(help->globalPos(), tip, viewport(), visualRect(index));
    return true;
  }
  return QTreeWidget::viewportEvent(event);
}

void TrackListWidget::dragEnterEvent(QDragEnterEvent* event) {
  if (LocalPaths(event->mimeData()).isEmpty()) return event->ignore();
  event->acceptProposedAction();
}

void TrackListWidget::dragMoveEvent(QDragMoveEvent* event) {
  if (LocalPaths(event->mimeData()).isEmpty()) return event->ignore();
  event->acceptProposedAction();
}

void TrackListWidget::dropEvent(QDropEvent* event) {
  const QStringList paths = LocalPaths(event->mimeData());
  if (paths.isEmpty()) return event->ignore();
  event->acceptProposedAction();
  emit pathsDropped(paths);
}

}  // namespace snipwave
