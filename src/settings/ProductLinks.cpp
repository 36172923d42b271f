#include "settings/ProductLinks.h"

#include <QUrl>

#include "platform/DataFolder.h"

namespace snipwave::links {

namespace {

const QString kGuide = QStringLiteral("help/Snipwave.html");

QString Page(const QString& webName, const QString& section) {
  return PageFor(QStringLiteral(SNIPWAVE_WEB_URL), ProgramDataFolder(kGuide) + kGuide, webName, section);
}

}  // namespace

QString PageFor(const QString& webBase, const QString& guideFile, const QString& webName, const QString& section) {
  if (!webBase.isEmpty()) {
    QString base = webBase;
    if (!base.endsWith('/')) base += '/';
    return base + webName;
  }
  QUrl url = QUrl::fromLocalFile(guideFile);
  url.setFragment(section);
  return url.toString(QUrl::FullyEncoded);
}

QString HomePage() { return Page(QString(), QStringLiteral("about")); }
QString FaqPage() { return Page(QStringLiteral("faq.htm"), QStringLiteral("faq")); }
QString WmaSupportPage() { return Page(QStringLiteral("wma.htm"), QStringLiteral("wma")); }

}  // namespace snipwave::links
