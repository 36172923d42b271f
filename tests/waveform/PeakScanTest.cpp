// The background peak scan: the GUI thread keeps answering while an hour of
// sound is decoded, the peaks arrive in steps, and the cache keeps one scan
// per file version.
#include <gtest/gtest.h>

#include <QFile>
#include <QTest>
#include <QTimer>
#include <cstdint>
#include <optional>
#include <set>

#include "Commands.h"
#include "TempDir.h"
#include "FfmpegLoudness.h"
#include "waveform/LoudnessText.h"
#include "waveform/PeakCache.h"
#include "waveform/RangeLoudness.h"

namespace snipwave::test {
namespace {

TEST(PeakScan, AnHourIsScannedWhileTheEventLoopKeepsAnswering) {
  const QString hour = Fixture("hour-22k.mp3", {"-f", "lavfi", "-i", "sine=f=440:d=3600:r=22050", "-ac", "1",
                                                "-c:a", "libmp3lame", "-b:a", "32k"});
  PeakCache cache;
  PeakScanner* scanner = cache.Scan(hour);
  ASSERT_NE(scanner, nullptr);

  // The GUI thread's timer keeps firing while the scan runs and finds the
  // peaks grown each time: a scan on this thread would let it fire only
  // before or after, never see the peaks partly made. Each size seen is a
  // turn of the event loop in the middle of the scan. (How long the loop
  // waits between turns is a figure of bench/waveform, not a test.)
  std::set<std::int64_t> partialSizes;
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, [&] {
    const auto peaks = scanner->Peaks();
    if (peaks && !peaks->Complete() && peaks->ScannedFrames() > 0) partialSizes.insert(peaks->ScannedFrames());
  });
  tick.start(5);
  ASSERT_TRUE(QTest::qWaitFor([&] { return scanner->Finished(); }, 240000));
  tick.stop();
  EXPECT_GE(partialSizes.size(), 5u) << "the event loop should keep turning, and the peaks show and grow, "
                                        "while the scan runs";
  EXPECT_TRUE(scanner->ErrorText().isEmpty()) << scanner->ErrorText().toStdString();
  const auto peaks = scanner->Peaks();
  ASSERT_TRUE(peaks && peaks->Complete());
  EXPECT_EQ(peaks->ScannedFrames(), peaks->TotalFrames());
  EXPECT_NEAR(static_cast<double>(peaks->TotalFrames()), 3600.0 * 22050, 22050);
  // A steady tone: the whole file's peak is its amplitude, alike both ways.
  const PeakPair whole = *peaks->Range(0, peaks->TotalFrames(), 1e12);
  EXPECT_NEAR(whole.max, -whole.min, 0.02);
  EXPECT_GT(whole.max, 0.05);
}

TEST(PeakScan, AWholeFileSketchArrivesBeforeTheExactPeaks) {
  // Two minutes: a loud first half, a quiet second half.
  const QString mp3 = Fixture("loud-then-quiet.mp3",
                              {"-f", "lavfi", "-i", "sine=f=440:d=120:r=22050", "-af",
                               "volume=eval=frame:volume='if(lt(t,60),6,0.8)'", "-ac", "1", "-c:a", "libmp3lame",
                               "-b:a", "32k"});
  PeakCache cache;
  PeakScanner* scanner = cache.Scan(mp3);
  ASSERT_NE(scanner, nullptr);
  // What a view could draw the first time it is told of peaks.
  std::optional<std::int64_t> firstScanned;
  std::optional<PeakPair> firstHalf, secondHalf;
  QObject::connect(scanner, &PeakScanner::Changed, [&] {
    const auto peaks = scanner->Peaks();
    if (!peaks || firstScanned) return;
    firstScanned = peaks->ScannedFrames();
    const std::int64_t total = peaks->TotalFrames();
    firstHalf = peaks->Range(0, total / 2 - 22050, 1e9);
    secondHalf = peaks->Range(total / 2 + 22050, total, 1e9);
  });
  ASSERT_TRUE(QTest::qWaitFor([&] { return scanner->Finished(); }, 60000));
  ASSERT_TRUE(firstScanned.has_value());
  EXPECT_EQ(*firstScanned, 0) << "the first peaks should be the sketch, before any exact peak";
  ASSERT_TRUE(firstHalf && secondHalf) << "the sketch should cover the whole file";
  // 0.75 and 0.1, give or take the coding noise of 32 kbit/s.
  EXPECT_GT(firstHalf->max, 0.6);
  EXPECT_NEAR(secondHalf->max, 0.1, 0.04);

  // Then the exact peaks replace it everywhere.
  const auto peaks = scanner->Peaks();
  ASSERT_TRUE(peaks && peaks->Complete());
  EXPECT_EQ(peaks->ScannedFrames(), peaks->TotalFrames());
  EXPECT_NEAR(peaks->Range(peaks->TotalFrames() - 22050, peaks->TotalFrames(), 256)->max, 0.1, 0.04);

  // A file the exact reader refuses (AC-3 in MP4) never shows a sketch either.
  const QString aac = Fixture("refused-ac3.mp4", {"-f", "lavfi", "-i", "sine=d=40", "-c:a", "ac3"});
  PeakScanner* refused = cache.Scan(aac);
  bool shown = false;
  QObject::connect(refused, &PeakScanner::Changed, [&] {
    const auto p = refused->Peaks();
    shown = shown || (p && p->Range(0, p->TotalFrames(), 1e9));
  });
  ASSERT_TRUE(QTest::qWaitFor([&] { return refused->Finished(); }, 20000));
  EXPECT_FALSE(shown);
  EXPECT_FALSE(refused->ErrorText().isEmpty());
}

TEST(PeakScan, OneScanPerFileVersionAndUnreadableFilesFail) {
  TempDir dir;
  const QString wav = dir.file("a.wav");
  ASSERT_TRUE(QFile::copy(ChirpFixture("scan-a.wav", 1.0, 8000, 1), wav));
  PeakCache cache;
  PeakScanner* first = cache.Scan(wav);
  EXPECT_EQ(cache.Scan(wav), first);
  ASSERT_TRUE(QTest::qWaitFor([&] { return first->Finished(); }, 20000));
  EXPECT_EQ(first->Peaks()->TotalFrames(), 8000);

  // Rewritten with other bytes: scanned afresh.
  QFile::remove(wav);
  ASSERT_TRUE(QFile::copy(ChirpFixture("scan-b.wav", 2.0, 8000, 1), wav));
  PeakScanner* second = cache.Scan(wav);
  ASSERT_TRUE(QTest::qWaitFor([&] { return second->Finished(); }, 20000));
  EXPECT_EQ(second->Peaks()->TotalFrames(), 16000);

  QFile junk(dir.file("junk.mp3"));
  ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
  junk.write(QByteArray(5000, 'x'));
  junk.close();
  PeakScanner* bad = cache.Scan(junk.fileName());
  ASSERT_TRUE(QTest::qWaitFor([&] { return bad->Finished(); }, 20000));
  EXPECT_FALSE(bad->ErrorText().isEmpty());
  EXPECT_EQ(cache.Scan(dir.file("absent.mp3")), nullptr);
}

// The scan's decode also measures the file's loudness, as FFmpeg's ebur128
// filter does; the list's line says "measuring" until the scan has ended.
TEST(PeakScan, TheScanMeasuresTheLoudnessAsFfmpegDoes) {
  const QString wav = ChirpFixture("loud-stereo.mp3", 6.0, 44100, 2, {"-c:a", "libmp3lame", "-b:a", "192k"});
  PeakCache cache;
  PeakScanner* scanner = cache.Scan(wav);
  ASSERT_NE(scanner, nullptr);
  EXPECT_TRUE(LoudnessLine(scanner).startsWith("Loudness: measuring (")) << LoudnessLine(scanner).toStdString();
  ASSERT_TRUE(QTest::qWaitFor([&] { return scanner->Finished(); }, 60000));
  ASSERT_TRUE(scanner->Loudness());
  const FfmpegLoudness ffmpeg = MeasureWithFfmpeg(wav);
  EXPECT_NEAR(scanner->Loudness()->integratedLufs, ffmpeg.integratedLufs, 0.1);
  EXPECT_NEAR(scanner->Loudness()->truePeakDbtp, ffmpeg.truePeakDbtp, 0.1);
  EXPECT_TRUE(LoudnessLine(scanner).endsWith(" dBTP")) << LoudnessLine(scanner).toStdString();
}

// A row's range is measured on a worker of its own, as FFmpeg measures the
// same frames; asked again, the answer is kept.
TEST(PeakScan, ARangeIsMeasuredOffTheGuiThreadAsFfmpegDoes) {
  const QString mp3 = ChirpFixture("loud-stereo.mp3", 6.0, 44100, 2, {"-c:a", "libmp3lame", "-b:a", "192k"});
  RangeLoudness ranges;
  EXPECT_TRUE(RangeLoudnessLine(ranges.Measure(mp3, 44100, 220500)).startsWith("Range loudness: measuring ("));
  ASSERT_TRUE(QTest::qWaitFor([&] { return ranges.Measure(mp3, 44100, 220500).loudness.has_value(); }, 60000));
  const loudness::Loudness ours = *ranges.Measure(mp3, 44100, 220500).loudness;
  const FfmpegLoudness ffmpeg = MeasureWithFfmpeg(mp3, "atrim=start_sample=44100:end_sample=220500");
  EXPECT_NEAR(ours.integratedLufs, ffmpeg.integratedLufs, 0.1);
  EXPECT_NEAR(ours.truePeakDbtp, ffmpeg.truePeakDbtp, 0.1);
}

}  // namespace
}  // namespace snipwave::test
