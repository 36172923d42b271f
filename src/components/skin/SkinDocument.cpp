#include "components/skin/SkinDocument.h"

namespace snipwave::skin {

bool IsNamedKind(ItemKind kind) {
  return kind == ItemKind::Button || kind == ItemKind::Text || kind == ItemKind::Slider ||
         kind == ItemKind::Progress || kind == ItemKind::Waveform;
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
