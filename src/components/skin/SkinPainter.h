#pragma once

#include <QPainter>
#include <QRect>

#include "components/skin/SkinDocument.h"
#include "components/skin/SkinObject.h"

namespace snipwave::skin {

// Fills `rect` with a plain colour or gradient.
void FillPaint(QPainter& painter, const QRectF& rect, const Paint& paint);

// Draws one layout item as it currently shows (`state`: rectangle, text,
// position) in the pointer state `look`.
void DrawItem(QPainter& painter, const ItemSpec& spec, const ObjectState& state, StatePaint::State look);

// Slider geometry: the thumb's centre runs from left + thumb/2 to
// right - thumb/2 for the positions 0..20000.
int SliderPositionAt(const ItemSpec& spec, const QRect& rect, int x);
double SliderThumbCentre(const ItemSpec& spec, const QRect& rect, int position);

}  // namespace snipwave::skin
