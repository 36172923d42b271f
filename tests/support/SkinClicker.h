#pragma once

#include <QPoint>
#include <QString>

#include "components/skin/SkinInterfaces.h"

class QWidget;

namespace snipwave::test {

// Drives a skinned window the way a user does: each helper finds the object's
// rectangle through the engine (GetWindowObject, FindObject, GetBounds) and
// sends real mouse events (QTest) to the widget that lies at that point of the
// window, whichever it is. A missing or hidden object fails the current test.

// Left click at the centre of the named object.
void ClickSkinObject(ISkin& skin, QWidget* window, const QString& name);

// Drags a slider: press at `fromFraction` of its rectangle's width, move in
// `steps` steps to `toFraction`, release there. 0 is the left edge, 1 the
// right edge. The slider's ends map to positions 0 and 20000 and its centre
// to 10000. A negative `fromFraction` presses at the fraction of the current
// position (near the thumb; the press itself moves the bar to that point).
void DragSkinSlider(ISkin& skin, QWidget* window, const QString& name, double toFraction,
                    double fromFraction = -1, int steps = 4);

// The centre of the named object in window client coordinates; fails the test
// and returns (-1, -1) when the object is missing.
QPoint SkinObjectCentre(ISkin& skin, QWidget* window, const QString& name);

}  // namespace snipwave::test
