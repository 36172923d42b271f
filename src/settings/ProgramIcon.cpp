#include "settings/ProgramIcon.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace snipwave {

namespace {

QPixmap DrawIcon(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal s = size;
  // Rounded dark tile.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x1f, 0x3a, 0x5f));
  p.drawRoundedRect(QRectF(0.5, 0.5, s - 1, s - 1), s * 0.18, s * 0.18);
  // The waveform: a decaying sine across the tile.
  QPainterPath wave;
  const int steps = 64;
  for (int i = 0; i <= steps; ++i) {
    const qreal x = s * 0.1 + (s * 0.8) * i / steps;
    const qreal t = static_cast<qreal>(i) / steps;
    const qreal y = s * 0.5 - s * 0.3 * std::sin(t * 6 * M_PI) * (0.35 + 0.65 * std::sin(t * M_PI));
    if (i == 0)
      wave.moveTo(x, y);
    else
      wave.lineTo(x, y);
  }
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(0x7f, 0xd8, 0xff), std::max<qreal>(1.0, s / 16)));
  p.drawPath(wave);
  // The two marks of the piece that is cut out.
  p.setPen(QPen(QColor(0xff, 0xb0, 0x30), std::max<qreal>(1.0, s / 14)));
  p.drawLine(QPointF(s * 0.35, s * 0.15), QPointF(s * 0.35, s * 0.85));
  p.drawLine(QPointF(s * 0.65, s * 0.15), QPointF(s * 0.65, s * 0.85));
  return pixmap;
}

}  // namespace

QIcon ProgramIcon() {
  if (!QGuiApplication::windowIcon().isNull()) return QGuiApplication::windowIcon();
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128, 256}) icon.addPixmap(DrawIcon(size));
  return icon;
}

QPixmap ProgramIconPixmap(int size) {
  if (!QGuiApplication::windowIcon().isNull()) return QGuiApplication::windowIcon().pixmap(size, size);
  return DrawIcon(size);
}

}  // namespace snipwave
