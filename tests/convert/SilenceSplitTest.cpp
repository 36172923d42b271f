// Split points at silences, found in files made by sox.
#include <gtest/gtest.h>

#include "Commands.h"
#include "TempDir.h"
#include "components/audio/TAudioFile2.h"
#include "convert/SilenceSplit.h"

namespace snipwave::test {
namespace {

constexpr int kRate = 44100;

// Tone and silence pieces of the given seconds, one after the other
// (positive: a 440 Hz tone at -6 dBFS, negative: digital silence).
QString ToneAndSilence(const TempDir& dir, const QString& name, const std::vector<double>& pieces) {
  QStringList parts;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const QString piece = dir.file(QString("%1-%2.wav").arg(name).arg(i));
    const QString seconds = QString::number(std::abs(pieces[i]), 'f', 3);
    QStringList args = {"-n", "-r", QString::number(kRate), "-c", "1", "-b", "16", piece};
    if (pieces[i] > 0) args << QStringList{"synth", seconds, "sine", "440", "gain", "-6"};
    else args << QStringList{"trim", "0", seconds};
    const CommandResult r = RunCommand("sox", args);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    parts << piece;
  }
  const QString path = dir.file(name + ".wav");
  const CommandResult r = RunCommand("sox", parts + QStringList{path});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  return path;
}

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

}  // namespace
}  // namespace snipwave::test
