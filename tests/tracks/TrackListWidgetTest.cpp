// The list widget: columns, selection behaviour, clicks, and rows that keep
// their texts.
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>

#include "QStringPrinter.h"
#include "tracks/TrackListWidget.h"

using namespace snipwave;

namespace {

TrackRowTexts Row(const QString& name) {
  TrackRowTexts t;
  t.caption = name;
  t.cells = {"  00:00:00 - 00:00:01", "  00:00:01", "  1.00MB", "unconverted"};
  return t;
}

struct ShownList {
  TrackListWidget lv;
  ShownList() {
    lv.resize(525, 247);
    lv.show();
    for (const char* n : {"a.mp3", "b.mp3", "c.mp3"}) lv.AppendRow(Row(n));
    QCoreApplication::processEvents();
  }
  QPoint rowCentre(int row) { return lv.visualItemRect(lv.topLevelItem(row)).center(); }
};

TEST(TrackListWidget, FiveColumnsWithTheirHeadersAndWidths) {
  TrackListWidget lv;
  EXPECT_EQ(lv.objectName(), "lv");
  ASSERT_EQ(lv.columnCount(), 5);
  const QStringList headers{"     FileName", "   Begin time - End time", "  Time", "  Size", "   Status"};
  const QList<int> widths{150, 136, 75, 70, 80};
  for (int c = 0; c < 5; ++c) {
    EXPECT_EQ(lv.headerItem()->text(c), headers[c]);
    EXPECT_EQ(lv.columnWidth(c), widths[c]);
  }
  EXPECT_EQ(lv.selectionMode(), QAbstractItemView::ExtendedSelection);
  EXPECT_EQ(lv.selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(lv.editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_FALSE(lv.header()->sectionsClickable());
  EXPECT_FALSE(lv.rootIsDecorated());
  EXPECT_EQ(lv.contextMenuPolicy(), Qt::CustomContextMenu);
  EXPECT_TRUE(lv.styleSheet().contains("border-bottom"));
}

TEST(TrackListWidget, RowsKeepTheirTextsAndAreNotEditable) {
  TrackListWidget lv;
  lv.AppendRow(Row("a.mp3"));
  lv.SetCellText(0, kStatusCell, "Playing");
  const TrackRowTexts t = lv.RowTexts(0);
  EXPECT_EQ(t.caption, "a.mp3");
  EXPECT_EQ(t.cells[kRangeCell], "  00:00:00 - 00:00:01");
  EXPECT_EQ(lv.CellText(0, kStatusCell), "Playing");
  EXPECT_FALSE(lv.topLevelItem(0)->flags() & Qt::ItemIsEditable);
  EXPECT_EQ(lv.RowTexts(5).caption, "");  // outside the list: nothing, no crash
}

TEST(TrackListWidget, OneSelectionThatDeletingHandsToNobody) {
  TrackListWidget lv;
  for (const char* n : {"a", "b", "c", "d"}) lv.AppendRow(Row(n));
  EXPECT_EQ(lv.SelectedRow(), -1);
  lv.SelectRow(1);
  lv.SelectRow(2);
  EXPECT_EQ(lv.selectedItems().size(), 1);
  EXPECT_EQ(lv.SelectedRow(), 2);
  lv.DeleteRow(0);
  EXPECT_EQ(lv.SelectedRow(), 1);  // the same row, one place up
  lv.DeleteRow(1);
  EXPECT_EQ(lv.SelectedRow(), -1);
  lv.SelectRow(0);
  lv.DeselectRow(0);
  EXPECT_EQ(lv.SelectedRow(), -1);
  lv.DeleteAllRows();
  EXPECT_EQ(lv.RowCount(), 0);
}

TEST(TrackListWidget, ClickOnARowSelectsItAndReportsTheClick) {
  ShownList s;
  QSignalSpy clicks(&s.lv, &TrackListWidget::listClicked);
  QTest::mouseClick(s.lv.viewport(), Qt::LeftButton, {}, s.rowCentre(1));
  EXPECT_EQ(s.lv.SelectedRow(), 1);
  EXPECT_EQ(clicks.count(), 1);
}

TEST(TrackListWidget, ClickOnEmptySpaceClearsTheSelectionAndReportsTheClick) {
  ShownList s;
  s.lv.SelectRow(2);
  QSignalSpy clicks(&s.lv, &TrackListWidget::listClicked);
  QTest::mouseClick(s.lv.viewport(), Qt::LeftButton, {}, QPoint(20, s.lv.viewport()->height() - 5));
  EXPECT_EQ(s.lv.SelectedRow(), -1);
  EXPECT_EQ(clicks.count(), 1);
  QTest::mouseClick(s.lv.viewport(), Qt::RightButton, {}, s.rowCentre(0));
  EXPECT_EQ(clicks.count(), 1);  // only the left button counts as a click
}

}  // namespace
