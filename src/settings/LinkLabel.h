#pragma once

#include <QColor>
#include <QLabel>
#include <functional>

namespace snipwave {

// A text that works as a link: blue, with the hand cursor, red while the
// mouse pointer is over it; a left click runs the action.
class LinkLabel final : public QLabel {
  Q_OBJECT

 public:
  static inline const QColor kNormalColor = Qt::blue;
  static inline const QColor kHoverColor = Qt::red;

  explicit LinkLabel(const QString& text, QWidget* parent = nullptr);

  void SetAction(std::function<void()> action) { action_ = std::move(action); }
  QColor TextColor() const { return palette().color(QPalette::WindowText); }

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void SetTextColor(const QColor& color);

  std::function<void()> action_;
};

}  // namespace snipwave
