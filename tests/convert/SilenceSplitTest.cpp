// Split points at silences, found in files made by sox.
#include <gtest/gtest.h>

#include "ToneFiles.h"
#include "components/audio/TAudioFile2.h"
#include "convert/SilenceSettings.h"
#include "convert/SilenceSplit.h"
#include "settings/SettingsStore.h"

namespace snipwave::test {
namespace {

constexpr int kRate = kToneRate;

std::vector<std::int64_t> SplitsOf(const QString& path, std::int64_t begin = 0, std::int64_t end = -1) {
  TAudioFile2 reader;
  reader.OpenFile(path.toStdString(), 0, 1);
  return FindSilenceSplits(reader, begin, end < 0 ? reader.LengthSamples() : end, SilenceRule{});
}

TEST(SilenceSplit, PartsMeetAtTheMiddleOfEachInnerSilence) {
  TempDir dir;
  // Leading 0.7 s and trailing 0.8 s silence stay with their parts; 0.3 s is too short.
  const QString path = ToneAndSilence(dir, "mix", {-0.7, 1.0, -1.0, 1.0, -0.6, 1.0, -0.3, 1.0, -0.8});
  const std::vector<std::int64_t> points = SplitsOf(path);
  const std::vector<double> middles = {0.7 + 1.0 + 0.5, 0.7 + 1.0 + 1.0 + 1.0 + 0.3};
  ASSERT_EQ(points.size(), middles.size());
  for (std::size_t i = 0; i < middles.size(); ++i)
    EXPECT_NEAR(double(points[i]), middles[i] * kRate, 0.010 * kRate) << i;

  // A range that starts inside the first inner silence: what is left of it leads.
  const std::vector<std::int64_t> fromInside = SplitsOf(path, std::int64_t(2.0 * kRate));
  ASSERT_EQ(fromInside.size(), 1u);
  EXPECT_NEAR(double(fromInside[0]), middles[1] * kRate, 0.010 * kRate);
}

TEST(SilenceSplit, NoSilenceOrOnlySilenceIsOnePart) {
  TempDir dir;
  EXPECT_TRUE(SplitsOf(ToneAndSilence(dir, "tone", {2.0})).empty());
  EXPECT_TRUE(SplitsOf(ToneAndSilence(dir, "quiet", {-2.0})).empty());
}

TEST(SilenceSplit, SettingsGiveTheRuleOrNameTheBadValue) {
  TempDir dir;
  struct Case {
    const char* lines;
    double db, seconds;  // the rule read; NaN: refused
  };
  const double refused = std::nan("");
  const Case cases[] = {
      {"", -50.0, 0.5},
      {"ThresholdDb=-40.5\nMinSeconds=1.25\n", -40.5, 1.25},
      {"ThresholdDb=\nMinSeconds= 2 \n", -50.0, 2.0},
      {"ThresholdDb=-4O\n", refused, 0},
      {"ThresholdDb=3\n", refused, 0},
      {"MinSeconds=0\n", refused, 0},
      {"MinSeconds=1,5\n", refused, 0},
      {"MinSeconds=inf\n", refused, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lines);
    const QString path = dir.file("Snipwave.ini");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QByteArray("[Silence]\n") + c.lines);
    file.close();
    QString error;
    const std::optional<SilenceRule> rule = ReadSilenceRule(SettingsStore(path), error);
    if (std::isnan(c.db)) {
      EXPECT_FALSE(rule);
      EXPECT_TRUE(error.startsWith("[Silence] ")) << error.toStdString();
    } else {
      ASSERT_TRUE(rule);
      EXPECT_EQ(rule->thresholdDb, c.db);
      EXPECT_EQ(rule->minSeconds, c.seconds);
    }
  }
}

}  // namespace
}  // namespace snipwave::test
