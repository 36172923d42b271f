#pragma once

#include <QString>

// The product's pages, opened through the launcher. One place for each
// address: the about box, the main window's help menu and the WMA question
// use these. When the build names where the project's pages are published
// (SNIPWAVE_WEB_URL), they are there; otherwise they are sections of the
// shipped user guide, never an address nobody serves.
namespace snipwave::links {

QString HomePage();
QString FaqPage();
// Offered when a ".wma" file cannot be read: what WMA support there is here.
QString WmaSupportPage();

// The same for a given web base ("" = the guide at `guideFile`).
QString PageFor(const QString& webBase, const QString& guideFile, const QString& webName, const QString& section);

}  // namespace snipwave::links
