#pragma once

#include <QString>

namespace snipwave::skin {

// True when Qt's style sheet parser accepts `sheet`. Qt only warns about a
// sheet it cannot parse (and then ignores it), so the sheet is applied to a
// hidden scratch widget while that warning is watched for. Without a running
// QApplication no widget can exist and every sheet counts as valid.
bool IsValidStyleSheet(const QString& sheet);

}  // namespace snipwave::skin
