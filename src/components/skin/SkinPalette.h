#pragma once

#include <QColor>
#include <QPalette>
#include <QString>
#include <map>

namespace snipwave::skin {

// The program's dialogs, message boxes and tooltips in the colours of the
// skin: a layout's palette roles (window, text, base, alternate-base, button,
// button-text, highlight, highlighted-text, line, muted, link, tip, tip-text)
// as a Qt palette, a role left out derived from the others. Empty roles give
// `fallback` unchanged.
QPalette ApplicationPalette(const std::map<QString, QColor>& roles, const QPalette& fallback);

// The few looks a palette cannot carry (tooltip and dialog frames) from the
// same roles. Empty when no role is given.
QString ApplicationStyleSheet(const std::map<QString, QColor>& roles);

}  // namespace snipwave::skin
