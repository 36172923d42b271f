#pragma once

#include <QPointer>
#include <QWidget>
#include <QRect>
#include <QString>
#include <vector>

#include "components/skin/SkinDocument.h"
#include "components/skin/SkinInterfaces.h"

namespace snipwave::skin {

// What an object shows: rectangle in window client pixels, visibility, text,
// and slider position on 0..20000.
struct ObjectState {
  QRect rect;
  bool visible = true;
  QString text;
  int position = 0;
  bool checked = false;
};

inline constexpr int kSliderMax = 20000;

QRect ToQRect(const SkinRect& rect);  // a reversed edge gives an empty rectangle
SkinRect ToSkinRect(const QRect& rect);

// One named object of an applied layout. Setters change the pending state;
// Redraw makes it the shown state and repaints the old and new places.
class SkinObject final : public ISkinObject, public ISkinElement, public ISkinText, public ISkinSlider {
 public:
  explicit SkinObject(const ItemSpec& spec);

  // The surface it is drawn on and the size of the layout (the window's
  // smallest size); a larger surface places the object by its anchors.
  void SetSurface(QWidget* surface, QSize layoutSize) {
    surface_ = surface;
    layoutSize_ = layoutSize;
  }
  const ItemSpec& Spec() const { return spec_; }
  const ObjectState& Shown() const { return shown_; }
  // `rect` (layout pixels) as placed on the surface now, in client pixels;
  // LayoutPlaced leaves it in layout pixels (the surface draws zoomed).
  QRect Placed(const QRect& rect) const;
  QRect LayoutPlaced(const QRect& rect) const;

  // The user moved the slider (or the splitter): the engine moves it itself, at once.
  void MoveByUser(int position);

  QString GetName() const override { return spec_.name; }
  ISkinObject* FindObject(const QString&) override { return nullptr; }
  ISkinElement* QueryElement() override { return this; }
  ISkinText* QueryText() override;
  ISkinSlider* QuerySlider() override;
  std::optional<SkinWaveformLook> QueryWaveformLook() const override;

  SkinRect GetBounds() const override { return ToSkinRect(pending_.rect); }
  void SetBounds(const SkinRect& rect) override { pending_.rect = ToQRect(rect); }
  void SetVisible(bool visible) override { pending_.visible = visible; }
  void Redraw() override;
  void SetChecked(bool checked) override { pending_.checked = checked; }
  std::optional<SkinRect> GetPlacedBounds() const override { return ToSkinRect(Placed(pending_.rect)); }

  void SetText(const QString& text) override { pending_.text = text; }

  int GetPosition() const override { return pending_.position; }
  void SetPosition(int position) override;

 private:
  void Repaint(const QRect& before, const QRect& after);

  const ItemSpec& spec_;
  ObjectState pending_;
  ObjectState shown_;
  QPointer<QWidget> surface_;  // the engine's drawing surface
  QSize layoutSize_;
};

// The object that stands for a skinned window: its children are the layout's
// named objects, found by exact, case-sensitive name.
class SkinWindowObject final : public ISkinObject {
 public:
  SkinWindowObject(QString name, std::vector<SkinObject*> children, std::map<QString, QColor> palette = {})
      : name_(std::move(name)), children_(std::move(children)), palette_(std::move(palette)) {}

  QString GetName() const override { return name_; }
  ISkinObject* FindObject(const QString& name) override;
  ISkinElement* QueryElement() override { return nullptr; }
  ISkinText* QueryText() override { return nullptr; }
  ISkinSlider* QuerySlider() override { return nullptr; }
  std::map<QString, QColor> QueryPalette() const override { return palette_; }

 private:
  QString name_;
  std::vector<SkinObject*> children_;
  std::map<QString, QColor> palette_;
};

}  // namespace snipwave::skin
