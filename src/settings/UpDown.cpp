#include "UpDown.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace snipwave {

UpDown::UpDown(QLineEdit* buddy, int minimum, int maximum, QWidget* parent)
    : QWidget(parent),
      buddy_(buddy),
      up_(new QToolButton(this)),
      down_(new QToolButton(this)),
      minimum_(minimum),
      maximum_(maximum),
      position_(minimum) {
  up_->setArrowType(Qt::UpArrow);
  down_->setArrowType(Qt::DownArrow);
  for (QToolButton* b : {up_, down_}) {
    b->setAutoRepeat(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setFixedSize(16, 11);
  }
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(up_);
  layout->addWidget(down_);
  connect(up_, &QToolButton::clicked, this, [this] { Step(+1); });
  connect(down_, &QToolButton::clicked, this, [this] { Step(-1); });
  if (buddy_ != nullptr) {
    buddy_->installEventFilter(this);
    buddy_->setText(FormatPosition(position_));
  }
}

QString UpDown::FormatPosition(int position) {
  QString digits = QString::number(position < 0 ? -static_cast<qint64>(position) : position);
  for (int i = digits.size() - 3; i > 0; i -= 3) digits.insert(i, ',');
  return position < 0 ? "-" + digits : digits;
}

void UpDown::SetPosition(int position) {
  position = std::clamp(position, minimum_, maximum_);
  if (position == position_) return;
  position_ = position;
  if (buddy_ != nullptr) buddy_->setText(FormatPosition(position_));
  emit positionChanged(position_);
}

void UpDown::ShowPositionInBuddy() {
  if (buddy_ != nullptr && buddy_->text() != FormatPosition(position_)) buddy_->setText(FormatPosition(position_));
}

void UpDown::Step(int delta) {
  if (!isEnabled()) return;
  SetPosition(position_ + delta);
}

bool UpDown::eventFilter(QObject* watched, QEvent* event) {
  if (watched == buddy_ && event->type() == QEvent::KeyPress && isEnabled()) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) {
      Step(key->key() == Qt::Key_Up ? +1 : -1);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace snipwave
