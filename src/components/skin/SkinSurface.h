#pragma once

#include <QWidget>
#include <vector>

#include "components/skin/SkinDocument.h"
#include "components/skin/SkinInterfaces.h"
#include "components/skin/SkinObject.h"

namespace snipwave::skin {

// The engine's drawing surface: a child widget that fills the skinned window
// and lies under every other child, so the plain controls the window places
// later sit on top of it. It paints the applied layout, shows hover and
// pressed looks and tooltips, and turns mouse input into the skin events.
class SkinSurface final : public QWidget {
 public:
  SkinSurface(QWidget* window, const SkinEvents& events);

  // Shows `layout`; objects[i] belongs to layout->items[i] (nullptr for a
  // decoration). Both outlive the surface or the next call.
  void ShowLayout(const LayoutSpec* layout, std::vector<SkinObject*> objects);

  // How the layout lies on the surface now: the extra room, the splitter's
  // shift and the zoom of a window smaller than the layout.
  Placement CurrentPlacement() const;

  // The clickable object (button, slider or splitter) under a client point, topmost
  // first; nullptr when there is none or it is hidden.
  SkinObject* InteractiveObjectAt(const QPoint& point) const;
  // The tooltip of the topmost visible item under the point, or empty.
  QString ToolTipAt(const QPoint& point) const;

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  ObjectState StateOf(size_t index) const;
  StatePaint::State LookOf(const SkinObject* object) const;
  void SetHover(SkinObject* object);
  void RepaintObject(const SkinObject* object);
  void Drag(int x);
  void DragSplitter(int y);

  QWidget* window_;
  const SkinEvents& events_;
  const LayoutSpec* layout_ = nullptr;
  std::vector<SkinObject*> objects_;
  SkinObject* hover_ = nullptr;
  SkinObject* pressed_ = nullptr;   // button held down by the left button
  SkinObject* dragging_ = nullptr;  // slider or splitter being dragged
  int grip_ = 0;                    // where in the splitter it was taken, layout pixels
};

}  // namespace snipwave::skin
