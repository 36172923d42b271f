#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace snipwave {

// Where a dialog of `dialogSize` goes to stand centred over a window whose
// outer frame is `owner`: left = owner's left + (owner's width - dialog's
// width) / 2, top likewise, the division truncating toward zero. With
// `clampNegative` a negative coordinate is taken as 0.
QPoint CentredPosition(const QRect& owner, const QSize& dialogSize, bool clampNegative);

// Moves `dialog` (its outer frame) centred over `owner`'s outer frame.
// Does nothing without an owner.
void CentreOver(QWidget& dialog, const QWidget* owner, bool clampNegative);

}  // namespace snipwave
