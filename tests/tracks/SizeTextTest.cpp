#include <gtest/gtest.h>

#include "QStringPrinter.h"
#include "tracks/SizeText.h"

using namespace snipwave;

namespace {
const QLocale kC = QLocale::c();

TEST(SizeText, RoundsOnceToFiveSignificantDigitsOrTwoDecimals) {
  EXPECT_EQ(MegabyteSizeText(3500000, kC), "3.34MB");           // 3.3379
  EXPECT_EQ(MegabyteSizeText(1294500000, kC), "1234.50MB");     // 1234.5346: five digits keep one decimal
  EXPECT_EQ(MegabyteSizeText(0, kC), "0.00MB");
  EXPECT_EQ(MegabyteSizeText(1048576, kC), "1.00MB");
  EXPECT_EQ(MegabyteSizeText(5000, kC), "0.00MB");
  EXPECT_EQ(MegabyteSizeText(10000, kC), "0.01MB");             // 0.0095 rounds up
  EXPECT_EQ(MegabyteSizeText(10480000, kC), "9.99MB");          // 9.9945
  EXPECT_EQ(MegabyteSizeText(10481000, kC), "10.00MB");         // 9.9954 carries into a new digit
  EXPECT_EQ(MegabyteSizeText(104857600LL * 1000 + 1, kC), "100000.00MB");
  EXPECT_EQ(MegabyteSizeText(12945170720LL, kC), "12345.00MB");  // 12345.48 keeps no decimal
  EXPECT_EQ(MegabyteSizeText(12945300000LL, kC), "12346.00MB");  // 12345.60
}

TEST(SizeText, UsesTheLocalesDecimalSeparatorAndNoGrouping) {
  const QLocale german(QLocale::German, QLocale::Germany);
  EXPECT_EQ(MegabyteSizeText(3500000, german), "3,34MB");
  EXPECT_EQ(MegabyteSizeText(1294500000, german), "1234,50MB");
}
}  // namespace
