#include "settings/LinkLabel.h"

#include <QMouseEvent>

namespace snipwave {

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
  setCursor(Qt::PointingHandCursor);
  SetTextColor(kNormalColor);
}

void LinkLabel::SetTextColor(const QColor& color) {
  QPalette p = palette();
  p.setColor(QPalette::WindowText, color);
  setPalette(p);
}

void LinkLabel::enterEvent(QEnterEvent* event) {
  SetTextColor(kHoverColor);
  QLabel::enterEvent(event);
}

void LinkLabel::leaveEvent(QEvent* event) {
  SetTextColor(kNormalColor);
  QLabel::leaveEvent(event);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && action_) action_();
}

}  // namespace snipwave
