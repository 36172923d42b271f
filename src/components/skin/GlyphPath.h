#pragma once

#include <QPainterPath>
#include <QString>

namespace snipwave::skin {

// Parses path data in the SVG notation (M L H V C S Q T Z, absolute upper case
// and relative lower case, repeated coordinate groups, commas or blanks as
// separators) into a painter path. Throws std::invalid_argument with a short
// reason on malformed data or when a point lies beyond ±limit.
QPainterPath ParseGlyphPath(const QString& data, double limit = 10000);

}  // namespace snipwave::skin
