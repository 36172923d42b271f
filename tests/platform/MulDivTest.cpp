#include <gtest/gtest.h>

#include <limits>

#include "platform/MulDiv.h"

using snipwave::MulDiv;

TEST(MulDiv, FiguresTheProgramRelies) {
  EXPECT_EQ(MulDiv(5000, 523, 10000), 262);  // 261.5 rounds up
  EXPECT_EQ(MulDiv(1000, 20000, 40000001), 0);
  EXPECT_EQ(MulDiv(10000, 523, 10000), 523);
  EXPECT_EQ(MulDiv(20000, 1234567, 20000), 1234567);
}

TEST(MulDiv, ZeroDivisorGivesMinusOne) {
  EXPECT_EQ(MulDiv(5, 7, 0), -1);
  EXPECT_EQ(MulDiv(0, 0, 0), -1);
}

TEST(MulDiv, RoundsHalvesAwayFromZeroInEverySign) {
  EXPECT_EQ(MulDiv(1, 1, 2), 1);
  EXPECT_EQ(MulDiv(-1, 1, 2), -1);
  EXPECT_EQ(MulDiv(1, -1, 2), -1);
  EXPECT_EQ(MulDiv(1, 1, -2), -1);
  EXPECT_EQ(MulDiv(-1, -1, -2), -1);
  EXPECT_EQ(MulDiv(-3, 1, -2), 2);
  EXPECT_EQ(MulDiv(1, 1, 3), 0);
  EXPECT_EQ(MulDiv(2, 1, 3), 1);
  EXPECT_EQ(MulDiv(-2, 1, 3), -1);
}

TEST(MulDiv, UsesA64BitProductAndRejectsResultsOutsideInt32) {
  constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
  constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
  EXPECT_EQ(MulDiv(kMax, kMax, kMax), kMax);
  EXPECT_EQ(MulDiv(2000000000, 2000000000, 1000000000), -1);  // 4e9 does not fit
  EXPECT_EQ(MulDiv(kMin, 1, 1), kMin);
  EXPECT_EQ(MulDiv(kMin, -1, 1), -1);  // 2^31 overflows
  EXPECT_EQ(MulDiv(kMin, kMin, kMin), kMin);
}
