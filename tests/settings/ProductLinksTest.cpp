#include <gtest/gtest.h>

#include <QFile>
#include <QUrl>

#include "settings/ProductLinks.h"

using snipwave::links::PageFor;

TEST(ProductLinks, WebPagesWhenPublishedElseSectionsOfTheShippedGuide) {
  EXPECT_EQ(PageFor("https://example.org/snipwave", "/x/help/Snipwave.html", "faq.htm", "faq"),
            "https://example.org/snipwave/faq.htm");
  EXPECT_EQ(PageFor("https://example.org/snipwave/", "/x/help/Snipwave.html", "", "about"),
            "https://example.org/snipwave/");
  EXPECT_EQ(PageFor("", "/opt/snip wave/share/snipwave/help/Snipwave.html", "faq.htm", "faq"),
            "file:///opt/snip%20wave/share/snipwave/help/Snipwave.html#faq");
}

TEST(ProductLinks, EverySectionTheProgramOpensExistsInTheGuide) {
  QFile guide(QStringLiteral(SNIPWAVE_SOURCE_DIR "/help/Snipwave.html"));
  ASSERT_TRUE(guide.open(QIODevice::ReadOnly));
  const QByteArray html = guide.readAll();
  for (const QString& page : {snipwave::links::HomePage(), snipwave::links::FaqPage(),
                              snipwave::links::WmaSupportPage()}) {
    const QUrl url(page);
    ASSERT_TRUE(url.isLocalFile()) << page.toStdString();  // this build names no web address
    EXPECT_TRUE(html.contains("id=\"" + url.fragment().toUtf8() + "\"")) << page.toStdString();
  }
}
