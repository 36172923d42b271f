#pragma once

#include <QString>

#include "components/skin/SkinDocument.h"

namespace snipwave::skin {

// Reads a skin file (format: docs/skin-format.md). A missing or unreadable
// file, a syntax error or a reference to something undefined throws
// snipwave::Error naming the file and, for the content, the line.
SkinDocument ReadSkinFile(const QString& fileName);

// Parses skin text; `fileName` names it in messages and anchors relative image
// paths.
SkinDocument ParseSkin(const QString& text, const QString& fileName);

}  // namespace snipwave::skin
