#include "SkinClicker.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace snipwave::test {

namespace {

ISkinElement* ElementOf(ISkin& skin, QWidget* window, const QString& name) {
  ISkinObject* windowObject = skin.GetWindowObject(window);
  ISkinObject* object = windowObject ? windowObject->FindObject(name) : nullptr;
  if (!object || !object->QueryElement()) {
    ADD_FAILURE() << "the skin has no object \"" << name.toStdString() << "\"";
    return nullptr;
  }
  return object->QueryElement();
}

// The widget at a window point and the point in its coordinates.
std::pair<QWidget*, QPoint> TargetAt(QWidget* window, const QPoint& point) {
  QWidget* target = window->childAt(point);
  if (!target) target = window;
  return {target, target->mapFrom(window, point)};
}

int XAt(const SkinRect& r, double fraction) {
  fraction = std::clamp(fraction, 0.0, 1.0);
  return r.left + static_cast<int>(std::lround(fraction * (r.right - r.left - 1)));
}

}  // namespace

QPoint SkinObjectCentre(ISkin& skin, QWidget* window, const QString& name) {
  ISkinElement* element = ElementOf(skin, window, name);
  if (!element) return {-1, -1};
  // Where it is drawn now: a window larger or smaller than its layout moves it.
  const SkinRect r = skin.GetWindowObject(window)->FindObject(name)->GetPlacedBounds().value_or(element->GetBounds());
  return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

void ClickSkinObject(ISkin& skin, QWidget* window, const QString& name) {
  const QPoint centre = SkinObjectCentre(skin, window, name);
  if (centre.x() < 0) return;
  auto [target, local] = TargetAt(window, centre);
  QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, local);
}

void DragSkinSlider(ISkin& skin, QWidget* window, const QString& name, double toFraction, double fromFraction,
                    int steps) {
  ISkinElement* element = ElementOf(skin, window, name);
  if (!element) return;
  const SkinRect r = element->GetBounds();
  if (fromFraction < 0) {
    ISkinSlider* slider = skin.GetWindowObject(window)->FindObject(name)->QuerySlider();
    fromFraction = slider ? slider->GetPosition() / 20000.0 : 0.5;
  }
  const int y = (r.top + r.bottom) / 2;
  const int fromX = XAt(r, fromFraction);
  const int toX = XAt(r, toFraction);
  auto [target, local] = TargetAt(window, QPoint(fromX, y));
  const QPoint shift = local - QPoint(fromX, y);  // window point -> target point
  QTest::mousePress(target, Qt::LeftButton, Qt::NoModifier, local);
  steps = std::max(1, steps);
  for (int i = 1; i <= steps; ++i) {
    const int x = fromX + static_cast<int>(std::lround((toX - fromX) * double(i) / steps));
    QTest::mouseMove(target, QPoint(x, y) + shift);
  }
  QTest::mouseRelease(target, Qt::LeftButton, Qt::NoModifier, QPoint(toX, y) + shift);
}

}  // namespace snipwave::test
