#pragma once

#include <QLineEdit>
#include <QObject>
#include <QPointer>
#include <functional>

namespace snipwave {

struct MainState;
class RangeMarking;

// Typing a mark: a small editor over the "begin" or "end" text, opened by a
// double-click on that text or by the list menu's "Type begin…" / "Type
// end…". Enter sets the mark at the typed time or sample exactly, through
// the same checks, messages and refreshes as set begin / set end; a
// malformed or out-of-file entry is told in a box and the editor stays;
// Escape closes it and changes nothing.
//
// Also the precise tooltips: "begin", "end" and "time" show their value as
// hh:mm:ss.mmm with the sample number when the pointer rests on them.
class TypedMarks final : public QObject {
 public:
  TypedMarks(MainState& state, RangeMarking& marking, QWidget* window);

  // The widget that draws the skin texts: double-clicks and tooltips on it.
  void WatchSkinSurface(QWidget* surface);
  // Refused silently when a mark could not be set now (no row, converting).
  void Open(bool begin);
  void Close();
  QLineEdit* Editor() const { return editor_; }
  // The text that the tooltip shows for "begin", "end" or "time", empty
  // without a row.
  QString PreciseText(const QString& objectName) const;
  // Runs the setting of a typed mark as one named edit (the window's undo
  // history); none: it just runs.
  std::function<void(const QString& step, const std::function<void()>& edit)> RecordEdit;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool Accept(const QString& text);  // true when the mark was set
  int Row() const;

  MainState& state_;
  RangeMarking& marking_;
  QWidget* window_;
  QPointer<QWidget> surface_;
  QLineEdit* editor_ = nullptr;
  bool editingBegin_ = true;
};

}  // namespace snipwave
