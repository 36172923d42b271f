#pragma once

#include <QString>
#include <array>
#include <vector>

namespace snipwave {

// The cells of a row after its caption (the file name).
enum TrackCell { kRangeCell = 0, kLengthCell = 1, kSizeCell = 2, kStatusCell = 3 };
inline constexpr int kTrackCellCount = 4;

// Status of a row that has not been cut or joined yet (also by the job that
// is about to process it).
inline const QString kUnconvertedStatus = QStringLiteral("unconverted");

// Everything a row shows: the caption and the four cells.
struct TrackRowTexts {
  QString caption;
  std::array<QString, kTrackCellCount> cells;
  bool operator==(const TrackRowTexts&) const = default;
};

// The track list as the features see it: rows of texts and a selection of
// one or more rows. The window's list widget implements it; tests may use the
// same widget.
class ITrackListView {
 public:
  virtual ~ITrackListView() = default;
  virtual int RowCount() const = 0;
  // The row the features work on: the current row when it is selected, else
  // the first selected one; -1 when no row is selected.
  virtual int SelectedRow() const = 0;
  // Every selected row, in list order; a list of one selection has at most one.
  virtual std::vector<int> SelectedRows() const {
    const int row = SelectedRow();
    return row < 0 ? std::vector<int>{} : std::vector<int>{row};
  }
  virtual void SelectRow(int row) = 0;
  virtual void DeselectRow(int row) = 0;
  virtual void AppendRow(const TrackRowTexts& texts) = 0;
  virtual void DeleteRow(int row) = 0;
  virtual void DeleteAllRows() = 0;
  virtual TrackRowTexts RowTexts(int row) const = 0;
  virtual void SetRowTexts(int row, const TrackRowTexts& texts) = 0;
  virtual QString CellText(int row, TrackCell cell) const = 0;
  virtual void SetCellText(int row, TrackCell cell, const QString& text) = 0;
};

// The output format list of the main window: "MP3", "WAV", "WMA", "OGG",
// "FLAC", "OPUS", "M4A", "ALAC".
class IFormatChooser {
 public:
  virtual ~IFormatChooser() = default;
  virtual int ItemIndex() const = 0;
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool IsEnabled() const = 0;
};

}  // namespace snipwave
