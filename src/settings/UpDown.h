#pragma once

#include <QString>
#include <QWidget>

class QLineEdit;
class QToolButton;

namespace snipwave {

// An up-down control joined to an edit box beside it (its "buddy"): two arrow
// buttons that step the position by 1 between the bounds, and the Up and Down
// keys in the edit do the same. The edit shows the position, 1000 and more
// with a comma as thousands separator ("1,000").
//
// The position is the control's own value: the edit's text does not change it
// (the owner decides what typing means, see Tfm_set's OGG quality edit). A
// position that changes is written into the edit at once, which fires the
// edit's textChanged like any other change of its text.
class UpDown final : public QWidget {
  Q_OBJECT

 public:
  UpDown(QLineEdit* buddy, int minimum, int maximum, QWidget* parent = nullptr);

  int Position() const { return position_; }
  int Minimum() const { return minimum_; }
  int Maximum() const { return maximum_; }

  // Clamps to the bounds; writes the edit only when the position changes.
  void SetPosition(int position);
  // Makes the edit show the current position if it says anything else
  // (used when the dialog loads, so a stale text never survives a showing).
  void ShowPositionInBuddy();

  QLineEdit* Buddy() const { return buddy_; }

  // "7", "999", "1,000".
  static QString FormatPosition(int position);

 signals:
  void positionChanged(int position);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Step(int delta);

  QLineEdit* buddy_;
  QToolButton* up_;
  QToolButton* down_;
  int minimum_;
  int maximum_;
  int position_;
};

}  // namespace snipwave
