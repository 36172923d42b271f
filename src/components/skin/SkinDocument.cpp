#include "components/skin/SkinDocument.h"

#include <algorithm>
#include <cmath>

namespace snipwave::skin {

bool IsNamedKind(ItemKind kind) {
  return kind == ItemKind::Button || kind == ItemKind::Text || kind == ItemKind::Slider ||
         kind == ItemKind::Progress || kind == ItemKind::Waveform || kind == ItemKind::Control ||
         kind == ItemKind::Splitter;
}

namespace {
// One axis of Placement::Place: the edge `x` of an item spanning
// start..start+length whose start edge moves by `from` and end edge by `to`;
// everything between maps linearly.
int PlaceEdge(int start, int length, int from, int to, int x) {
  if (from == to || length <= 0) return x + from;
  return start + from + static_cast<int>(std::lround(double(x - start) * (length + to - from) / length));
}

std::pair<int, int> Shifts(Anchor anchor, int extra, int split) {
  switch (anchor) {
    case Anchor::Start: return {0, 0};
    case Anchor::End: return {extra, extra};
    case Anchor::Stretch: return {0, extra};
    case Anchor::SplitAbove: return {0, split};
    case Anchor::SplitBelow: return {split, extra};
    case Anchor::Split: return {split, split};
  }
  return {0, 0};
}
}  // namespace

QRect Placement::Place(const ItemSpec& spec, const QRect& rect) const {
  const int ex = std::max(0, extra.width()), ey = std::max(0, extra.height());
  const QRect& s = spec.rect;
  const auto [x0, x1] = Shifts(spec.anchorX, ex, ex);
  const auto [y0, y1] = Shifts(spec.anchorY, ey, splitShift);
  const int left = PlaceEdge(s.left(), s.width(), x0, x1, rect.left());
  const int right = PlaceEdge(s.left(), s.width(), x0, x1, rect.left() + rect.width());
  const int top = PlaceEdge(s.top(), s.height(), y0, y1, rect.top());
  const int bottom = PlaceEdge(s.top(), s.height(), y0, y1, rect.top() + rect.height());
  return QRect(left, top, std::max(0, right - left), std::max(0, bottom - top));
}

QRect Placement::ToClient(const QRect& r) const {
  if (zoom == 1.0) return r;
  // Edges scale, not sizes, so neighbouring items stay flush.
  auto at = [this](int v) { return static_cast<int>(std::lround(v * zoom)); };
  return QRect(QPoint(at(r.left()), at(r.top())), QPoint(at(r.left() + r.width()) - 1, at(r.top() + r.height()) - 1));
}

QPoint Placement::ToLayout(const QPoint& client) const {
  if (zoom == 1.0) return client;
  return QPoint(static_cast<int>(std::floor(client.x() / zoom)), static_cast<int>(std::floor(client.y() / zoom)));
}

QRect PlaceRect(const ItemSpec& spec, const QRect& rect, QSize extra) { return Placement{extra}.Place(spec, rect); }

const ItemSpec* LayoutSpec::Splitter() const {
  for (const ItemSpec& item : items)
    if (item.kind == ItemKind::Splitter) return &item;
  return nullptr;
}

Placement LayoutSpec::PlacementFor(QSize window, int chosenPaneHeight) const {
  Placement p;
  if (size.isEmpty() || window.isEmpty()) return p;
  p.zoom = std::min({1.0, double(window.width()) / size.width(), double(window.height()) / size.height()});
  p.extra = QSize(std::max(0, static_cast<int>(std::floor(window.width() / p.zoom + 1e-9)) - size.width()),
                  std::max(0, static_cast<int>(std::floor(window.height() / p.zoom + 1e-9)) - size.height()));
  const ItemSpec* splitter = Splitter();
  const ItemSpec* pane = splitter ? Find(splitter->pane) : nullptr;
  if (!pane) {
    p.splitShift = p.extra.height();  // without a splitter its anchor means the bottom
    return p;
  }
  // The pane below takes the extra height first, up to its preferred height
  // or the height the user dragged it to; the panes above take the rest and
  // never shrink below their layout height.
  const int own = pane->rect.height();
  const int smallest = pane->minHeight > 0 ? pane->minHeight : own;
  const int wanted = chosenPaneHeight > 0 ? chosenPaneHeight : (pane->preferredHeight > 0 ? pane->preferredHeight : own);
  const int growth = std::clamp(wanted - own, std::min(0, smallest - own), p.extra.height());
  p.splitShift = p.extra.height() - growth;
  return p;
}

bool IsInteractiveKind(ItemKind kind) {
  return kind == ItemKind::Button || kind == ItemKind::Slider || kind == ItemKind::Splitter;
}

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
