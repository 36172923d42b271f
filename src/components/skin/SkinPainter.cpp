#include "components/skin/SkinPainter.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <algorithm>
#include <cmath>

namespace snipwave::skin {

namespace {

// Pixel sizes are taken as doubles before any subtraction: the rectangle and
// the skin's sizes are ints, and their difference must never overflow.
double WidthOf(const QRect& rect) { return static_cast<double>(rect.right()) - rect.left() + 1; }

QBrush BrushOf(const Paint& paint, const QRectF& rect) {
  if (paint.direction == Paint::Direction::None) return QBrush(paint.from);
  QLinearGradient gradient = paint.direction == Paint::Direction::Vertical
                                 ? QLinearGradient(rect.topLeft(), rect.bottomLeft())
                                 : QLinearGradient(rect.topLeft(), rect.topRight());
  gradient.setColorAt(0, paint.from);
  gradient.setColorAt(1, paint.to);
  return QBrush(gradient);
}

bool Visible(const Paint& paint) {
  return paint.IsSet() && (paint.from.alpha() > 0 || (paint.direction != Paint::Direction::None && paint.to.alpha() > 0));
}

// A rounded box with an optional border drawn inside the rectangle.
void DrawBox(QPainter& p, QRectF rect, const Paint& fill, const Paint& border, double borderWidth, double radius) {
  radius = std::min({radius, rect.width() / 2, rect.height() / 2});
  const bool hasBorder = Visible(border) && borderWidth > 0;
  if (!Visible(fill) && !hasBorder) return;
  p.save();
  if (hasBorder) {
    rect.adjust(borderWidth / 2, borderWidth / 2, -borderWidth / 2, -borderWidth / 2);
    p.setPen(QPen(border.from, borderWidth));
  } else {
    p.setPen(Qt::NoPen);
  }
  p.setBrush(Visible(fill) ? BrushOf(fill, rect) : QBrush(Qt::NoBrush));
  p.drawRoundedRect(rect, radius, radius);
  p.restore();
}

void DrawGlyph(QPainter& p, const Glyph& glyph, const QRectF& target, const QColor& colour) {
  const double scale = std::min(target.width() / glyph.box.width(), target.height() / glyph.box.height());
  p.save();
  p.translate(target.center().x() - glyph.box.width() * scale / 2, target.center().y() - glyph.box.height() * scale / 2);
  p.scale(scale, scale);
  for (const Glyph::Part& part : glyph.parts) {
    if (part.stroke) {
      p.strokePath(part.path, QPen(colour, part.strokeWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    } else {
      p.fillPath(part.path, colour);
    }
  }
  p.restore();
}

void DrawImage(QPainter& p, const QImage& image, const QRectF& target) {
  QSizeF size = image.size();
  size.scale(target.size(), Qt::KeepAspectRatio);
  QRectF place(QPointF(), size);
  place.moveCenter(target.center());
  p.drawImage(place, image);
}

void DrawText(QPainter& p, const ItemSpec& spec, const QRectF& rect, const QString& text, const QColor& colour) {
  if (text.isEmpty()) return;
  p.save();
  p.setFont(spec.font);
  p.setPen(colour);
  const double padding = spec.padding;
  const QRectF inner = rect.adjusted(padding, 0, -padding, 0);
  const int room = static_cast<int>(std::clamp(inner.width(), 0.0, 1e6));
  const QString shown = QFontMetrics(spec.font).elidedText(text, Qt::ElideRight, room);
  p.drawText(inner, static_cast<int>(spec.align), shown);
  p.restore();
}

void DrawButton(QPainter& p, const ItemSpec& spec, const QRectF& rect, const QString& caption, StatePaint::State look) {
  DrawBox(p, rect, spec.fill.For(look), spec.border.For(look), spec.borderWidth, spec.radius);
  const QColor colour = spec.colour.For(look).from;
  // The content sinks by a pixel while pressed, as a physical key would.
  const QRectF inner = rect.translated(0, look == StatePaint::State::Pressed ? 1 : 0);
  const bool hasPicture = spec.glyph || !spec.image.isNull();
  const double glyphSize =
      spec.glyphSize > 0 ? spec.glyphSize : std::min(inner.width(), inner.height()) - 2.0 * spec.padding;
  const QFontMetricsF metrics(spec.font);
  const double textWidth = caption.isEmpty() ? 0 : metrics.horizontalAdvance(caption);
  const double gap = hasPicture && !caption.isEmpty() ? 7 : 0;
  const double total = (hasPicture ? glyphSize : 0) + gap + textWidth;
  double x = inner.center().x() - total / 2;
  if (spec.align & Qt::AlignLeft) x = inner.left() + spec.padding;
  if (spec.align & Qt::AlignRight) x = inner.right() - spec.padding - total;
  if (hasPicture) {
    const QRectF place(std::round(x), std::round(inner.center().y() - glyphSize / 2), glyphSize, glyphSize);
    if (spec.glyph) DrawGlyph(p, *spec.glyph, place, colour);
    else DrawImage(p, spec.image, place);
    x += glyphSize + gap;
  }
  if (!caption.isEmpty()) {
    p.save();
    p.setFont(spec.font);
    p.setPen(colour);
    p.drawText(QRectF(x, inner.top(), textWidth + 2, inner.height()), Qt::AlignLeft | Qt::AlignVCenter, caption);
    p.restore();
  }
}

void DrawSlider(QPainter& p, const ItemSpec& spec, const QRectF& rect, int position, StatePaint::State look) {
  const double inset = spec.thumbSize / 2.0;
  const double cy = rect.center().y();
  const QRectF track(rect.left() + inset, cy - spec.trackHeight / 2.0, rect.width() - 2 * inset, spec.trackHeight);
  DrawBox(p, track, spec.track, Paint{}, 0, spec.trackHeight / 2.0);
  const double cx = SliderThumbCentre(spec, rect.toRect(), position);
  if (cx > track.left()) {
    const QRectF played(track.left(), track.top(), cx - track.left(), track.height());
    DrawBox(p, played, spec.trackFill, Paint{}, 0, spec.trackHeight / 2.0);
  }
  const Paint& thumb = spec.thumb.For(look);
  if (Visible(thumb)) {
    // A soft ring marks the thumb while the pointer is on it or drags it.
    if (look != StatePaint::State::Normal && Visible(spec.trackFill)) {
      QColor halo = spec.trackFill.from;
      halo.setAlpha(70);
      p.save();
      p.setPen(Qt::NoPen);
      p.setBrush(halo);
      p.drawEllipse(QPointF(cx, cy), inset + 4, inset + 4);
      p.restore();
    }
    const QRectF knob(cx - inset, cy - inset, spec.thumbSize, spec.thumbSize);
    DrawBox(p, knob, thumb, spec.border.For(look), spec.borderWidth, inset);
  }
}

}  // namespace

void FillPaint(QPainter& painter, const QRectF& rect, const Paint& paint) {
  if (Visible(paint)) painter.fillRect(rect, BrushOf(paint, rect));
}

int SliderPositionAt(const ItemSpec& spec, const QRect& rect, int x) {
  const double span = WidthOf(rect) - spec.thumbSize;
  if (span <= 0) return 0;
  const double offset = x - (rect.left() + spec.thumbSize / 2.0);
  return static_cast<int>(std::lround(std::clamp(offset * kSliderMax / span, 0.0, double{kSliderMax})));
}

double SliderThumbCentre(const ItemSpec& spec, const QRect& rect, int position) {
  const double span = std::max(0.0, WidthOf(rect) - spec.thumbSize);
  return rect.left() + spec.thumbSize / 2.0 + span * std::clamp(position, 0, kSliderMax) / kSliderMax;
}

void DrawItem(QPainter& p, const ItemSpec& spec, const ObjectState& state, StatePaint::State look) {
  const QRectF rect = state.rect;
  switch (spec.kind) {
    case ItemKind::Button:
      DrawButton(p, spec, rect, state.text, look);
      break;
    case ItemKind::Text:
    case ItemKind::Label:
      DrawBox(p, rect, spec.fill.normal, spec.border.normal, spec.borderWidth, spec.radius);
      DrawText(p, spec, rect, state.text, spec.colour.normal.from);
      break;
    case ItemKind::Slider:
      DrawSlider(p, spec, rect, state.position, look);
      break;
    case ItemKind::Progress:
    case ItemKind::Panel:
    case ItemKind::Waveform:  // the box; the program draws the sound over it
      DrawBox(p, rect, spec.fill.normal, spec.border.normal, spec.borderWidth, spec.radius);
      if (spec.kind == ItemKind::Progress) DrawText(p, spec, rect, state.text, spec.colour.normal.from);
      break;
    case ItemKind::Icon: {
      const double padding = spec.padding;
      const QRectF inner = rect.adjusted(padding, padding, -padding, -padding);
      if (spec.glyph) DrawGlyph(p, *spec.glyph, inner, spec.colour.normal.from);
      else DrawImage(p, spec.image, inner);
      break;
    }
    case ItemKind::Splitter:  // a grip that lights up under the pointer and while dragged
      DrawBox(p, rect, spec.fill.For(look), spec.border.For(look), spec.borderWidth, spec.radius);
      break;
    case ItemKind::Control:  // the window's own control covers it
      break;
  }
}

}  // namespace snipwave::skin
