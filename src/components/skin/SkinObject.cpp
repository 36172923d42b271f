#include "components/skin/SkinObject.h"

#include <algorithm>

#include "components/skin/SkinSurface.h"

namespace snipwave::skin {

namespace {
// Callers may pass any int32; edges beyond this lie far off every screen and
// are pulled in so that widths and the repaint margins cannot overflow.
constexpr int kFarEdge = 1 << 24;
int Edge(int value) { return std::clamp(value, -kFarEdge, kFarEdge); }
}  // namespace

QRect ToQRect(const SkinRect& r) {
  const int left = Edge(r.left), top = Edge(r.top);
  return QRect(left, top, std::max(0, Edge(r.right) - left), std::max(0, Edge(r.bottom) - top));
}

SkinRect ToSkinRect(const QRect& r) { return SkinRect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()}; }

SkinObject::SkinObject(const ItemSpec& spec) : spec_(spec) {
  pending_.rect = spec.rect;
  pending_.visible = spec.visible;
  pending_.text = spec.text;
  shown_ = pending_;
}

ISkinText* SkinObject::QueryText() {
  return spec_.kind == ItemKind::Slider || spec_.kind == ItemKind::Splitter ? nullptr : this;
}

ISkinSlider* SkinObject::QuerySlider() {
  return spec_.kind == ItemKind::Slider || spec_.kind == ItemKind::Splitter ? this : nullptr;
}

std::optional<SkinWaveformLook> SkinObject::QueryWaveformLook() const {
  if (spec_.kind != ItemKind::Waveform) return std::nullopt;
  auto pick = [](const QColor& colour, QColor fallback) { return colour.isValid() ? colour : fallback; };
  SkinWaveformLook look;
  look.background = spec_.fill.normal.IsSet() ? spec_.fill.normal.from : QColor(Qt::transparent);
  look.border = spec_.border.normal.IsSet() ? spec_.border.normal.from : QColor(Qt::transparent);
  look.peaks = spec_.colour.normal.IsSet() ? spec_.colour.normal.from : QColor("#5fb3ff");
  look.range = pick(spec_.range, QColor(95, 179, 255, 58));
  look.beginMark = pick(spec_.beginMark, QColor(76, 217, 100));
  look.endMark = pick(spec_.endMark, QColor(255, 92, 92));
  look.position = pick(spec_.positionLine, QColor(Qt::white));
  look.ruler = pick(spec_.ruler, QColor(154, 163, 178));
  look.font = spec_.font;
  return look;
}

void SkinObject::SetPosition(int position) {
  // A splitter's position is the height of its pane in layout pixels (0: the skin's choice).
  pending_.position = std::clamp(position, 0, spec_.kind == ItemKind::Splitter ? 4000 : kSliderMax);
}

void SkinObject::Redraw() {
  const QRect before = shown_.rect;
  const bool moved = shown_.position != pending_.position;
  shown_ = pending_;
  Repaint(before, shown_.rect);
  // A splitter that moved places the panes anew.
  if (moved && spec_.kind == ItemKind::Splitter && surface_) surface_->update();
}

void SkinObject::MoveByUser(int position) {
  pending_.position = shown_.position = std::clamp(position, 0, kSliderMax);
  Repaint(shown_.rect, shown_.rect);
}

QRect SkinObject::LayoutPlaced(const QRect& rect) const {
  auto* surface = dynamic_cast<SkinSurface*>(surface_.data());
  if (!surface || layoutSize_.isEmpty()) return rect;
  return surface->CurrentPlacement().Place(spec_, rect);
}

QRect SkinObject::Placed(const QRect& rect) const {
  auto* surface = dynamic_cast<SkinSurface*>(surface_.data());
  if (!surface || layoutSize_.isEmpty()) return rect;
  const Placement placement = surface->CurrentPlacement();
  return placement.ToClient(placement.Place(spec_, rect));
}

void SkinObject::Repaint(const QRect& layoutBefore, const QRect& layoutAfter) {
  if (!surface_) return;
  const QRect before = Placed(layoutBefore), after = Placed(layoutAfter);
  // Anti-aliased edges and borders reach a little past the rectangle.
  surface_->update(before.adjusted(-2, -2, 2, 2));
  surface_->update(after.adjusted(-2, -2, 2, 2));
}

ISkinObject* SkinWindowObject::FindObject(const QString& name) {
  for (SkinObject* child : children_)
    if (child->GetName() == name) return child;
  return nullptr;
}

}  // namespace snipwave::skin
