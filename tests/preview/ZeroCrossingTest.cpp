// Marks snapped to the nearest zero crossing, on the real reader.
#include <gtest/gtest.h>

#include <QFile>

#include "Commands.h"
#include "FakeMainParts.h"
#include "FakeSkin.h"
#include "ScriptedDialogs.h"
#include "TempDir.h"
#include "components/audio/TAudioFile2.h"
#include "preview/RangeMarking.h"
#include "preview/ZeroCrossing.h"
#include "settings/SettingsKeys.h"
#include "state/MainState.h"

namespace snipwave::test {
namespace {

// 100 Hz at 48 kHz: the sine is exactly 0 at every 240th frame (and only
// there), positive after 0, 480, ..., negative after 240, 720, ...
QString Sine100Hz() {
  return Fixture("snap-sine-100hz.wav", {"-f", "lavfi", "-i", "sine=f=100:r=48000:d=1", "-c:a", "pcm_s16le"});
}

TEST(ZeroCrossing, NearestWithinTheWindowElseTheMarkStays) {
  TAudioFile2 reader;
  reader.OpenFile(QFile::encodeName(Sine100Hz()).toStdString(), 0, 1);
  struct Case {
    std::int64_t mark, window, expected;
  };
  const Case cases[] = {
      {250, 20, 240},   // 10 frames after a crossing
      {470, 20, 480},   // 10 frames before the next
      {300, 20, 300},   // 60 frames from any crossing: none within 20
      {355, 200, 240},  // 115 back beats 125 on
      {360, 120, 240},  // a tie: the earlier
      {5, 20, 0},       // the window stops at the file's start
      {240, 0, 240},    // no window: no snap
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mark " << c.mark << " window " << c.window);
    EXPECT_EQ(NearestZeroCrossing(reader, c.mark, c.window), c.expected);
  }
}

// The marking snaps marks from the bar and from the waveform when [Level]
// SnapToZero is on, within SnapWindowMs; a typed (exact) mark never snaps.
TEST(ZeroCrossing, MarkingSnapsOnlyWhenAskedTo) {
  TempDir dir;
  SettingsStore settings(dir.file("Snipwave.ini"));
  FakeSkinWindow skin;
  FakeTrackList list;
  ScriptedDialogs dialogs;
  TAudioFile2 reader;
  MainState state;
  skin.BindInto(state);
  state.lv = &list;
  state.Dialogs = &dialogs;
  state.SettingsFile = &settings;
  state.AudioFileMarks = &reader;
  const QString path = Sine100Hz();
  state.TrackCount = 1;
  state.TrackTable[0] = Timerec{0, 48000, 48000, 1000, 1, path};
  list.AppendRow(TrackRowTexts{});
  list.SelectRow(0);
  RangeMarking marking(state);
  const auto snapOn = [&](bool on) {
    settings.WriteBool(settings::section::kLevel, settings::key::kSnapToZero, on);
    settings.WriteInteger(settings::section::kLevel, settings::key::kSnapWindowMs, 1);  // 48 frames
  };

  snapOn(false);
  marking.SetBeginSample(250, RangeMarking::Snap::Allowed);
  EXPECT_EQ(state.TrackTable[0].BeginSample, 250);
  snapOn(true);
  marking.SetBeginSample(250, RangeMarking::Snap::Allowed);
  EXPECT_EQ(state.TrackTable[0].BeginSample, 240);
  marking.SetBeginSample(310, RangeMarking::Snap::Allowed);  // 70 frames from 240: outside 48
  EXPECT_EQ(state.TrackTable[0].BeginSample, 310);
  marking.SetBeginSample(250);  // typed
  EXPECT_EQ(state.TrackTable[0].BeginSample, 250);
  skin.object("pb").position = 10001;  // frame 24002: snaps back to 24000
  marking.SetEnd();
  EXPECT_EQ(state.TrackTable[0].EndSample, 24000);
  EXPECT_FALSE(reader.IsOpen());
}

}  // namespace
}  // namespace snipwave::test
