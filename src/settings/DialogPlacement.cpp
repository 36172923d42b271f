#include "DialogPlacement.h"

#include <QWidget>

namespace snipwave {

QPoint CentredPosition(const QRect& owner, const QSize& dialogSize, bool clampNegative) {
  // C++ integer division truncates toward zero, as the placement rule asks.
  int left = owner.left() + (owner.width() - dialogSize.width()) / 2;
  int top = owner.top() + (owner.height() - dialogSize.height()) / 2;
  if (clampNegative) {
    if (left < 0) left = 0;
    if (top < 0) top = 0;
  }
  return {left, top};
}

void CentreOver(QWidget& dialog, const QWidget* owner, bool clampNegative) {
  if (owner == nullptr) return;
  // The window must exist for its frame (title bar, borders) to be known.
  dialog.winId();
  dialog.move(CentredPosition(owner->frameGeometry(), dialog.frameGeometry().size(), clampNegative));
}

}  // namespace snipwave
