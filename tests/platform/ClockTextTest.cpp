#include <gtest/gtest.h>

#include "platform/ClockText.h"

using namespace snipwave;

TEST(ClockText, FormatsHoursMinutesSecondsWithTwoDigitsAtLeast) {
  EXPECT_EQ(ClockTextFromSeconds(0), "00:00:00");
  EXPECT_EQ(ClockTextFromSeconds(59), "00:00:59");
  EXPECT_EQ(ClockTextFromSeconds(3723), "01:02:03");
  EXPECT_EQ(ClockTextFromSeconds(360000), "100:00:00");
  EXPECT_EQ(ClockTextFromSeconds(359999), "99:59:59");
}

TEST(ClockText, TruncatesMillisecondsNeverRounds) {
  EXPECT_EQ(ClockTextFromMs(3723000), "01:02:03");
  EXPECT_EQ(ClockTextFromMs(3723999), "01:02:03");
  EXPECT_EQ(ClockTextFromMs(999), "00:00:00");
  // MulDiv's -1 (a zero-length file) truncates to 0 seconds.
  EXPECT_EQ(ClockTextFromMs(-1), "00:00:00");
}
