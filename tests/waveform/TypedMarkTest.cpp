// Typed marks: every accepted form, malformed entries, times past the file.
#include <gtest/gtest.h>

#include "preview/TypedMark.h"

namespace snipwave {
namespace {

TEST(TypedMark, ParsesEveryFormAndRejectsMalformedEntries) {
  struct Case {
    const char* text;
    std::int64_t ms;  // -1: a sample number (then `sample`), -2: rejected
    std::int64_t sample = 0;
  };
  const std::vector<Case> cases = {
      {"1:02:03.456", 3723456},   {"0:00:00.000", 0},       {"123:00:00", 442800000},  // hours past 99
      {"2:03.5", 123500},         {"2:03.05", 123050},      {"75:00", 4500000},         // leading minutes past 59
      {"4.53", 4530},             {"4", 4000},              {"  12.345  ", 12345},      {"90.1", 90100},
      {"3,25", 3250},             {"#0", -1, 0},            {"#199773", -1, 199773},    {"# 44100", -1, 44100},
      {"", -2},                   {"abc", -2},              {"1:60:00", -2},            {"1:2:03", -2},
      {"1:02:3", -2},             {"2:60", -2},             {"4.5678", -2},             {"-3", -2},
      {"#", -2},                  {"#-5", -2},              {"#1.5", -2},               {"1:02:03:04", -2},
      {"1.2.3", -2},              {"12:", -2},              {":12", -2}};
  for (const Case& c : cases) {
    const auto parsed = ParseTypedMark(QString::fromUtf8(c.text));
    if (c.ms == -2) {
      ASSERT_TRUE(std::holds_alternative<QString>(parsed)) << c.text;
      EXPECT_EQ(std::get<QString>(parsed), kTypedMarkExpected);
      continue;
    }
    ASSERT_TRUE(std::holds_alternative<TypedMark>(parsed)) << c.text;
    const TypedMark& mark = std::get<TypedMark>(parsed);
    if (c.ms == -1) {
      ASSERT_TRUE(std::holds_alternative<TypedSample>(mark)) << c.text;
      EXPECT_EQ(std::get<TypedSample>(mark).sample, c.sample) << c.text;
    } else {
      ASSERT_TRUE(std::holds_alternative<TypedTime>(mark)) << c.text;
      EXPECT_EQ(std::get<TypedTime>(mark).ms, c.ms) << c.text;
    }
  }
}

TEST(TypedMark, SampleOfATypedMarkAndThePreciseText) {
  Timerec r;
  r.TotalSamples = 441000;  // 10 s at 44.1 kHz
  r.TotalMs = 10000;
  EXPECT_EQ(std::get<std::int64_t>(TypedMarkSample(TypedTime{1500}, r)), 66150);
  EXPECT_EQ(std::get<std::int64_t>(TypedMarkSample(TypedTime{10000}, r)), 441000);
  EXPECT_EQ(std::get<std::int64_t>(TypedMarkSample(TypedSample{12345}, r)), 12345);
  EXPECT_TRUE(std::holds_alternative<QString>(TypedMarkSample(TypedTime{10001}, r)));
  EXPECT_TRUE(std::holds_alternative<QString>(TypedMarkSample(TypedSample{441001}, r)));
  EXPECT_EQ(PreciseTimeText(66150, r), "00:00:01.500 (sample 66150)");
  EXPECT_EQ(PreciseClockText(360000000 + 61001), "100:01:01.001");
}

}  // namespace
}  // namespace snipwave
