#pragma once

#include <QString>

#include "components/skin/SkinInterfaces.h"

namespace snipwave {

// One skin object bound at start-up with the interfaces it offers. An object
// the skin file lacks stays unbound, and every update of it is skipped.
// Each setter follows the change with Redraw, as the engine requires.
struct SkinBinding {
  ISkinObject* object = nullptr;
  ISkinElement* element = nullptr;
  ISkinText* text = nullptr;
  ISkinSlider* slider = nullptr;

  bool IsBound() const { return object != nullptr; }

  void SetText(const QString& value) const {
    if (!text) return;
    text->SetText(value);
    Redraw();
  }
  void SetPosition(int position) const {
    if (!slider) return;
    slider->SetPosition(position);
    Redraw();
  }
  int GetPosition() const { return slider ? slider->GetPosition() : 0; }
  void SetVisible(bool visible) const {
    if (element) element->SetVisible(visible);
  }
  void SetBounds(const SkinRect& rect) const {
    if (element) element->SetBounds(rect);
  }
  SkinRect GetBounds() const { return element ? element->GetBounds() : SkinRect{}; }
  void Redraw() const {
    if (element) element->Redraw();
  }
};

}  // namespace snipwave
