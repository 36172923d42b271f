#include "components/skin/SkinSurface.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <exception>
#include <stdexcept>
#include <utility>

#include "components/skin/SkinPainter.h"
#include "platform/HookedApplication.h"

namespace snipwave::skin {

namespace {

void ReportHandlerFailure(const std::exception& e) {
  if (HookedApplication* app = HookedApplication::Instance()) app->Report(e);
  else qCritical("%s", e.what());
}

// Runs one of the program's handlers. It runs inside Qt's event delivery,
// which an exception must never unwind: a failure goes to the application's
// hook right here, as a failing handler of the window's own controls does.
// The handler is a copy, so it survives SetEvents being called from inside it.
template <typename Handler, typename... Args>
void Fire(Handler handler, Args&&... args) {
  if (!handler) return;
  try {
    handler(std::forward<Args>(args)...);
  } catch (const std::exception& e) {
    ReportHandlerFailure(e);
  } catch (...) {
    ReportHandlerFailure(std::runtime_error("Unknown error"));
  }
}

}  // namespace

SkinSurface::SkinSurface(QWidget* window, const SkinEvents& events)
    : QWidget(window), window_(window), events_(events) {
  setObjectName("SkinSurface");
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  setGeometry(window->rect());
  window->installEventFilter(this);
  lower();
  show();
}

void SkinSurface::ShowLayout(const LayoutSpec* layout, std::vector<SkinObject*> objects) {
  layout_ = layout;
  objects_ = std::move(objects);
  hover_ = pressed_ = dragging_ = nullptr;
  unsetCursor();
  for (SkinObject* object : objects_)
    if (object) object->SetSurface(this, layout->size);
  update();
}

Placement SkinSurface::CurrentPlacement() const {
  if (!layout_) return {};
  int chosen = 0;
  if (const ItemSpec* splitter = layout_->Splitter())
    for (const SkinObject* object : objects_)
      if (object && &object->Spec() == splitter) chosen = object->Shown().position;
  return layout_->PlacementFor(size(), chosen);
}

// In layout pixels: the surface draws with the placement's zoom.
ObjectState SkinSurface::StateOf(size_t index) const {
  if (objects_[index]) {
    ObjectState state = objects_[index]->Shown();
    state.rect = objects_[index]->LayoutPlaced(state.rect);
    return state;
  }
  const ItemSpec& spec = layout_->items[index];
  return ObjectState{CurrentPlacement().Place(spec, spec.rect), spec.visible, spec.text, 0};
}

SkinObject* SkinSurface::InteractiveObjectAt(const QPoint& point) const {
  if (!layout_) return nullptr;
  const QPoint at = CurrentPlacement().ToLayout(point);
  for (size_t i = objects_.size(); i-- > 0;) {
    SkinObject* object = objects_[i];
    if (!object || !IsInteractiveKind(object->Spec().kind)) continue;
    const ObjectState& state = object->Shown();
    if (state.visible && object->LayoutPlaced(state.rect).contains(at)) return object;
  }
  return nullptr;
}

QString SkinSurface::ToolTipAt(const QPoint& point) const {
  if (!layout_) return {};
  const QPoint at = CurrentPlacement().ToLayout(point);
  for (size_t i = objects_.size(); i-- > 0;) {
    const ObjectState state = StateOf(i);
    if (state.visible && state.rect.contains(at) && !layout_->items[i].tip.isEmpty()) return layout_->items[i].tip;
  }
  return {};
}

StatePaint::State SkinSurface::LookOf(const SkinObject* object) const {
  if (!object) return StatePaint::State::Normal;
  if (object == dragging_ || (object == pressed_ && object == hover_)) return StatePaint::State::Pressed;
  if (object->Shown().checked) return StatePaint::State::Checked;
  if (object == hover_ || object == pressed_) return StatePaint::State::Hover;
  return StatePaint::State::Normal;
}

void SkinSurface::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  if (!layout_) {
    painter.fillRect(event->rect(), palette().window());
    return;
  }
  painter.fillRect(event->rect(), palette().window());
  FillPaint(painter, rect(), layout_->background);
  painter.setClipRegion(event->region());
  const Placement placement = CurrentPlacement();
  painter.scale(placement.zoom, placement.zoom);
  for (size_t i = 0; i < objects_.size(); ++i) {
    const ObjectState state = StateOf(i);
    if (!state.visible || state.rect.isEmpty()) continue;
    if (!event->region().intersects(placement.ToClient(state.rect.adjusted(-6, -6, 6, 6)))) continue;
    DrawItem(painter, layout_->items[i], state, LookOf(objects_[i]));
  }
}

void SkinSurface::RepaintObject(const SkinObject* object) {
  // The slider's hover ring reaches a few pixels past its rectangle.
  if (object) update(object->Placed(object->Shown().rect).adjusted(-8, -8, 8, 8));
}

void SkinSurface::SetHover(SkinObject* object) {
  if (object == hover_) return;
  RepaintObject(hover_);
  hover_ = object;
  RepaintObject(hover_);
  if (hover_) setCursor(hover_->Spec().kind == ItemKind::Splitter ? Qt::SplitVCursor : Qt::PointingHandCursor);
  else unsetCursor();
}

void SkinSurface::DragSplitter(int y) {
  // The pane's height follows the pointer; the placement keeps it within
  // the pane's smallest height and the room the panes above leave.
  const Placement placement = CurrentPlacement();
  const ItemSpec* pane = layout_->Find(dragging_->Spec().pane);
  if (!pane) return;
  const int shift = placement.ToLayout(QPoint(0, y)).y() - grip_ - dragging_->Spec().rect.top();
  const int paneTop = pane->rect.top() + shift;
  const int bottom = pane->rect.top() + pane->rect.height() + placement.extra.height();
  const int smallest = pane->minHeight > 0 ? pane->minHeight : pane->rect.height();
  const int height = std::clamp(bottom - paneTop, smallest, pane->rect.height() + placement.extra.height());
  if (height == dragging_->Shown().position) return;
  dragging_->MoveByUser(height);
  update();
  Fire(events_.OnScrollTrack, *dragging_, height);
}

void SkinSurface::Drag(int x) {
  x = CurrentPlacement().ToLayout(QPoint(x, 0)).x();
  const int position = SliderPositionAt(dragging_->Spec(), dragging_->LayoutPlaced(dragging_->Shown().rect), x);
  if (position == dragging_->Shown().position) return;
  dragging_->MoveByUser(position);
  Fire(events_.OnScrollTrack, *dragging_, position);
}

void SkinSurface::mousePressEvent(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  SkinObject* object = event->button() == Qt::LeftButton ? InteractiveObjectAt(point) : nullptr;
  if (!object) {
    event->ignore();
    return;
  }
  SetHover(object);
  if (object->Spec().kind == ItemKind::Splitter) {
    // The program hears of the splitter only when it moved (OnScrollTrack).
    dragging_ = object;
    grip_ = CurrentPlacement().ToLayout(point).y() - object->LayoutPlaced(object->Shown().rect).top();
    RepaintObject(object);
  } else if (object->Spec().kind == ItemKind::Slider) {
    dragging_ = object;
    RepaintObject(object);
    const QPoint client = mapTo(window_, point);
    Fire(events_.OnMouseDown, *object, static_cast<int>(event->button()), client.x(), client.y());
    // A press on the groove moves the thumb there at once, as media players do.
    if (dragging_ == object) {
      const int position = SliderPositionAt(object->Spec(), object->LayoutPlaced(object->Shown().rect),
                                            CurrentPlacement().ToLayout(point).x());
      object->MoveByUser(position);
      Fire(events_.OnScrollTrack, *object, position);
    }
  } else {
    pressed_ = object;
    RepaintObject(object);
  }
}

void SkinSurface::mouseMoveEvent(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  if (dragging_) {
    if (dragging_->Spec().kind == ItemKind::Splitter) DragSplitter(point.y());
    else Drag(point.x());
    return;
  }
  SetHover(InteractiveObjectAt(point));
  if (pressed_) RepaintObject(pressed_);
}

void SkinSurface::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const QPoint point = event->position().toPoint();
  if (dragging_ && dragging_->Spec().kind == ItemKind::Splitter) {
    DragSplitter(point.y());
    RepaintObject(dragging_);
    dragging_ = nullptr;
    SetHover(InteractiveObjectAt(point));
    return;
  }
  if (SkinObject* slider = dragging_) {
    Drag(point.x());
    dragging_ = nullptr;
    RepaintObject(slider);
    SetHover(InteractiveObjectAt(point));
    const QPoint client = mapTo(window_, point);
    Fire(events_.OnMouseUp, *slider, static_cast<int>(event->button()), client.x(), client.y());
    return;
  }
  if (SkinObject* button = pressed_) {
    pressed_ = nullptr;
    RepaintObject(button);
    // A click counts only when the button is released over the object it was
    // pressed on; sliding off first cancels it, as with any push button.
    if (InteractiveObjectAt(point) == button)
      Fire(events_.OnClick, *button);
  }
}

void SkinSurface::leaveEvent(QEvent*) {
  if (!dragging_ && !pressed_) SetHover(nullptr);
}

bool SkinSurface::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const QString tip = ToolTipAt(help->pos());
    if (tip.isEmpty()) {
      QToolTip::hideText();
      event->ignore();
    } else {
      QToolTip::showText(help->globalPos(), tip, this);
    }
    return true;
  }
  return QWidget::event(event);
}

bool SkinSurface::eventFilter(QObject* watched, QEvent* event) {
  if (watched == window_ && event->type() == QEvent::Resize) setGeometry(window_->rect());
  return QWidget::eventFilter(watched, event);
}

}  // namespace snipwave::skin
