#include "DesktopLauncher.h"

#include <QDesktopServices>
#include <QUrl>

namespace snipwave {

bool DesktopLauncher::OpenFolder(const QString& folder) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

void DesktopLauncher::OpenUrl(const QString& url) { QDesktopServices::openUrl(QUrl(url)); }

void DesktopLauncher::OpenHelpFile(const QString& path) {
  QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

}  // namespace snipwave
