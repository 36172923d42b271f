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

TEST(MulDiv64, ScalesFrameCountsPast32BitsWithTheSameRounding) {
  using snipwave::MulDiv64;
  constexpr std::int64_t kFrames = 2'200'000'000;  // a 3-hour recording at 200 kHz
  EXPECT_EQ(MulDiv64(20000, kFrames, 20000), kFrames);
  EXPECT_EQ(MulDiv64(10000, kFrames + 1, 20000), 1'100'000'001);  // x.5 rounds away from zero
  EXPECT_EQ(MulDiv64(-1, 1, 2), -1);
  EXPECT_EQ(MulDiv64(kFrames, 10'800'000, kFrames), 10'800'000);  // a product past 2^63
  EXPECT_EQ(MulDiv64(5, 7, 0), -1);
  EXPECT_EQ(MulDiv64(std::numeric_limits<std::int64_t>::max(), 2, 1), -1);
}
