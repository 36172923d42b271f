// The waveform view's own behaviour: the exact readout, the vertical scale,
// zooming to a span, following the play line, and its kept choices.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

#include "CaughtExceptions.h"
#include "Commands.h"
#include "TempDir.h"
#include "settings/SettingsStore.h"
#include "waveform/PeakCache.h"
#include "waveform/WaveformHeader.h"
#include "waveform/WaveformReadout.h"
#include "waveform/WaveformView.h"

namespace snipwave::test {
namespace {

TEST(WaveformReadout, ExactTimesOfKnownFrames) {
  struct Case {
    ReadoutFrames f;
    const char* text;
  };
  const std::vector<Case> cases = {
      {{110250, 0, 441000, 441000, 10000},
       "Position 0:00:02.500   Begin 0:00:00.000   End 0:00:10.000   Length 0:00:10.000 (441000 frames)"},
      // Hours unpadded; 48 frames at 48 kHz are one millisecond.
      {{360144336, 48, 360144336, 360144336, 7503007},
       "Position 2:05:03.007   Begin 0:00:00.001   End 2:05:03.007   Length 2:05:03.006 (360144288 frames)"},
      // 43 frames last 0.98 ms although both marks round to 1 ms.
      {{0, 23, 66, 441000, 10000},
       "Position 0:00:00.000   Begin 0:00:00.001   End 0:00:00.001   Length 0:00:00.001 (43 frames)"},
      // A file the reader gave no frames: times 0, never a division by it.
      {{0, 0, 0, 0, 0}, "Position 0:00:00.000   Begin 0:00:00.000   End 0:00:00.000   Length 0:00:00.000 (0 frames)"},
  };
  for (const Case& c : cases) EXPECT_EQ(ReadoutText(c.f), c.text);
  EXPECT_EQ(ReadoutShortText(cases[0].f), "Pos 0:00:02.500 | 0:00:00.000 \u2013 0:00:10.000 | 0:00:10.000 (441000 frames)");
  EXPECT_EQ(ReadoutClock(100LL * 3600 * 1000 + 1), "100:00:00.001");
}

TEST(WaveformScale, GainAndDbScaleGiveTheHeights) {
  WaveformScale scale;
  EXPECT_FALSE(scale.Zoom(-1));  // already at 0 dB
  EXPECT_DOUBLE_EQ(scale.Height(-0.25f), -0.25);
  ASSERT_TRUE(scale.Zoom(4));  // +12 dB: about four times
  EXPECT_NEAR(scale.Height(0.0630957f), 0.2511886, 1e-6);
  EXPECT_DOUBLE_EQ(scale.Height(0.5f), 1.0);  // lifted past full scale: at the edge
  scale.Zoom(-4);
  scale.SetDb(true);
  const std::vector<std::pair<float, double>> db = {
      {1.0f, 1.0}, {0.177828f, 0.75}, {0.0316228f, 0.5}, {0.001f, 0.0}, {0.0001f, 0.0}, {0.0f, 0.0}, {-0.0316228f, -0.5}};
  for (const auto& [value, height] : db) EXPECT_NEAR(scale.Height(value), height, 1e-6) << value;
  scale.Zoom(2);  // +6 dB moves a level up a tenth of the 60 dB
  EXPECT_NEAR(scale.Height(0.0316228f), 0.6, 1e-6);
  scale.Zoom(100);
  EXPECT_EQ(scale.GainDb(), WaveformScale::kMaxSteps * WaveformScale::kStepDb);
}

class WaveformViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path = ChirpFixture("view-10s.wav", 10.0, 44100, 1);
    view.resize(402, 120);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  }
  WaveformContent Content(std::int64_t position, bool playing, std::int64_t begin = 0, std::int64_t end = 441000) {
    return WaveformContent{path, 441000, 10000, begin, end, position, playing};
  }
  int WaveWidth() const { return view.width() - 2; }
  double LastFrame() const { return view.Window().FrameAt(WaveWidth()); }
  void Wheel(QPoint delta, Qt::KeyboardModifiers mods) {
    const QPointF at(200, 80);
    QWheelEvent wheel(at, view.mapToGlobal(at), {}, delta, Qt::NoButton, mods, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&view, &wheel);
  }

  QString path;
  PeakCache cache;
  WaveformView view{cache};
};

TEST_F(WaveformViewTest, ZoomToTheRangeShowsExactlyTheRangeAndBackToTheWholeFile) {
  const std::vector<std::pair<std::int64_t, std::int64_t>> ranges = {{110250, 220500}, {0, 441000}, {440000, 441000}};
  for (const auto& [begin, end] : ranges) {
    view.SetContent(Content(0, false, begin, end));
    view.ZoomToRange();
    const double pixel = view.Window().FramesPerPixel();
    EXPECT_NEAR(view.Window().First(), static_cast<double>(begin), pixel) << begin;
    EXPECT_NEAR(LastFrame(), static_cast<double>(end), pixel) << end;
    view.ZoomToFile();
    EXPECT_TRUE(view.Window().WholeFile());
  }
  // Shorter than the finest zoom allows (1/16 frame a pixel): centred on it.
  view.SetContent(Content(0, false, 300000, 300002));
  view.ZoomToRange();
  EXPECT_DOUBLE_EQ(view.Window().FramesPerPixel(), WaveformWindow::kMinFramesPerPixel);
  EXPECT_NEAR((view.Window().First() + LastFrame()) / 2, 300001, 1e-6);
}

TEST_F(WaveformViewTest, FollowsThePlayLinePageByPageOrCentredUntilTheUserPans) {
  view.SetContent(Content(0, false, 0, 44100));
  view.ZoomToRange();  // one second across the view
  view.SetContent(Content(20000, true, 0, 44100));
  EXPECT_EQ(view.Window().First(), 0);  // still inside: the page stays
  view.SetContent(Content(50000, true, 0, 44100));
  EXPECT_EQ(view.Window().First(), 50000);  // it left: the next page starts at it
  view.SetContent(Content(1000, true, 0, 44100));  // a jump back
  EXPECT_EQ(view.Window().First(), 1000);

  view.SetFollow(FollowMode::Centred);
  view.SetContent(Content(200000, true, 0, 44100));
  EXPECT_NEAR((view.Window().First() + LastFrame()) / 2, 200000, 1e-6);

  // A pan while playing: the view stays where the user put it.
  Wheel(QPoint(0, -120), Qt::ShiftModifier);
  const double panned = view.Window().First();
  EXPECT_FALSE(view.Following());
  view.SetContent(Content(300000, true, 0, 44100));
  EXPECT_EQ(view.Window().First(), panned);
  // Paused, then played again: following is taken up.
  view.SetContent(Content(300000, false, 0, 44100));
  view.SetContent(Content(310000, true, 0, 44100));
  EXPECT_TRUE(view.Following());
  EXPECT_NEAR((view.Window().First() + LastFrame()) / 2, 310000, 1e-6);

  view.SetFollow(FollowMode::Off);
  view.SetContent(Content(10000, true, 0, 44100));
  EXPECT_NEAR((view.Window().First() + LastFrame()) / 2, 310000, 1e-6);
}

TEST_F(WaveformViewTest, HeaderControlsZoomVerticallyAndKeepTheirChoicesInTheSettingsFile) {
  TempDir dir;
  SettingsStore store(dir.file("Snipwave.ini"));
  view.UseSettings([&] { return &store; });
  view.SetContent(Content(0, false));
  EXPECT_EQ(view.Choices(), WaveformChoices{});

  // Ctrl+wheel: whole steps, a fine wheel gathering its angle; the buttons the same.
  Wheel(QPoint(0, 60), Qt::ControlModifier);
  EXPECT_EQ(view.Scale().GainDb(), 0);
  Wheel(QPoint(0, 60), Qt::ControlModifier);
  EXPECT_EQ(view.Scale().GainDb(), WaveformScale::kStepDb);
  EXPECT_TRUE(view.Window().WholeFile());  // no horizontal zoom with it
  auto* zoomIn = view.findChild<QToolButton*>("waveZoomIn");
  ASSERT_NE(zoomIn, nullptr);
  zoomIn->click();
  EXPECT_EQ(view.Scale().GainDb(), 2 * WaveformScale::kStepDb);

  view.findChild<QToolButton*>("waveDb")->click();
  auto* follow = view.findChild<QComboBox*>("waveFollow");
  ASSERT_NE(follow, nullptr);
  follow->activated(static_cast<int>(FollowMode::Centred));
  EXPECT_TRUE(view.Scale().Db());
  EXPECT_EQ(store.ReadString("Waveform", "Follow", ""), "centred");
  EXPECT_TRUE(store.ReadBool("Waveform", "DbScale", false));

  // Another view (the next run) takes them up when it shows a file.
  PeakCache otherCache;
  WaveformView other(otherCache);
  other.UseSettings([&] { return &store; });
  other.SetContent(Content(0, false));
  EXPECT_EQ(other.Choices(), (WaveformChoices{FollowMode::Centred, true}));
  EXPECT_TRUE(other.Scale().Db());

  // A file that cannot be written: the hook tells it, the choice holds for the run.
  TempDir blocked;
  ASSERT_TRUE(QDir(blocked.path()).mkdir("Snipwave.ini"));
  SettingsStore folder(blocked.file("Snipwave.ini"));
  view.UseSettings([&] { return &folder; });
  CaughtExceptions().clear();
  view.findChild<QToolButton*>("waveDb")->click();
  ASSERT_EQ(CaughtExceptions().size(), 1);
  EXPECT_TRUE(CaughtExceptions().first().contains("Unable to write")) << CaughtExceptions().first().toStdString();
  EXPECT_FALSE(view.Scale().Db());
}

}  // namespace
}  // namespace snipwave::test
