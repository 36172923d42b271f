#include "components/skin/SkinDocument.h"

#include <algorithm>
#include <cmath>

namespace snipwave::skin {

bool IsNamedKind(ItemKind kind) {
  return kind == ItemKind::Button || kind == ItemKind::Text || kind == ItemKind::Slider ||
         kind == ItemKind::Progress || kind == ItemKind::Waveform || kind == ItemKind::Control;
}

namespace {
// One axis of PlaceRect: the edge `x` of an item spanning start..start+length.
int PlaceEdge(Anchor anchor, int start, int length, int extra, int x) {
  switch (anchor) {
    case Anchor::Start: return x;
    case Anchor::End: return x + extra;
    case Anchor::Stretch:
      if (length <= 0) return x;
      return start + static_cast<int>(std::lround(double(x - start) * (length + extra) / length));
  }
  return x;
}
}  // namespace

QRect PlaceRect(const ItemSpec& spec, const QRect& rect, QSize extra) {
  const int ex = std::max(0, extra.width()), ey = std::max(0, extra.height());
  const QRect& s = spec.rect;
  const int left = PlaceEdge(spec.anchorX, s.left(), s.width(), ex, rect.left());
  const int right = PlaceEdge(spec.anchorX, s.left(), s.width(), ex, rect.left() + rect.width());
  const int top = PlaceEdge(spec.anchorY, s.top(), s.height(), ey, rect.top());
  const int bottom = PlaceEdge(spec.anchorY, s.top(), s.height(), ey, rect.top() + rect.height());
  return QRect(left, top, std::max(0, right - left), std::max(0, bottom - top));
}

bool IsInteractiveKind(ItemKind kind) { return kind == ItemKind::Button || kind == ItemKind::Slider; }

const ItemSpec* LayoutSpec::Find(const QString& wanted) const {
  for (const ItemSpec& item : items)
    if (!item.name.isEmpty() && item.name == wanted) return &item;
  return nullptr;
}

const LayoutSpec* SkinDocument::Find(const QString& wanted) const {
  for (const LayoutSpec& layout : layouts)
    if (layout.name == wanted) return &layout;
  return nullptr;
}

}  // namespace snipwave::skin
