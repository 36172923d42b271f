#include <gtest/gtest.h>

#include "components/audio/PlayoutClock.h"

namespace snipwave::test {
namespace {

using Ms = std::chrono::milliseconds;

// A device at 1000 frames/s taking 100-frame periods, callbacks on a clock
// the test moves.
struct Device {
  PlayoutClock clock;
  PlayoutClock::Time t0 = PlayoutClock::Time{} + std::chrono::hours(1);
  explicit Device(std::int64_t minimumLatency) : clock(1000, minimumLatency) {}
  PlayoutClock::Time At(int ms) const { return t0 + Ms(ms); }
  void Callback(int ms, std::int64_t silenceBefore, std::int64_t stream) {
    clock.Handed(At(ms), 100, silenceBefore, stream);
  }
};

TEST(PlayoutClock, CountsStreamFramesAsSoundedOnceTheDeviceHasPlayedWhatItHeld) {
  Device d(100);
  d.Callback(0, 100, 0);  // a period of lead-in silence
  for (int k = 1; k <= 5; ++k) d.Callback(k * 100, 0, 100);
  // Handed: silence 0..99, stream from device frame 100 on (500 frames).
  // At 500 ms the device sounds device frame 500 - 100 = 400: stream frame 300.
  EXPECT_EQ(d.clock.StreamHanded(), 500);
  EXPECT_EQ(d.clock.Sounded(d.At(500)), 300);
  EXPECT_EQ(d.clock.Sounded(d.At(550)), 350);  // on in real time between callbacks
  EXPECT_EQ(d.clock.Sounded(d.At(900)), 400);  // but not past what the last callback handed
  EXPECT_EQ(d.clock.Sounded(d.At(520)), 400);  // and never back
  // Earlier: the lead-in is silence, not the stream.
  Device early(100);
  early.Callback(0, 100, 0);
  early.Callback(100, 0, 100);
  EXPECT_EQ(early.clock.Sounded(early.At(150)), 0);
  early.Callback(200, 0, 100);
  EXPECT_EQ(early.clock.Sounded(early.At(250)), 50);
}

TEST(PlayoutClock, ThePlayOutEndsOnlyOnceTheDeviceHasSoundedTheLastFrame) {
  struct Case {
    const char* name;
    int burst;  // callbacks at 0 ms before the device paces them: it buffers that much more
    std::int64_t latency;
  };
  for (const Case c : {Case{"one period held", 1, 100}, Case{"a buffering server", 5, 400}}) {
    Device d(100);
    int ms = 0;
    for (int k = 0; k < c.burst; ++k) d.Callback(0, 0, 100);
    for (int k = 0; k < 3; ++k) d.Callback(ms += 100, 0, 100);
    const std::int64_t end = 100LL * (c.burst + 3);  // device frame after the last stream frame
    EXPECT_EQ(d.clock.Latency(), c.latency) << c.name;
    // Silence from here on: played out once the callback starts with the
    // device `latency` frames behind everything handed, past the end.
    std::int64_t handed = end;
    while (!d.clock.PlayedOut()) {
      ASSERT_LT(handed, end + 2000) << c.name;
      d.Callback(ms += 100, 0, 0);
      EXPECT_EQ(d.clock.PlayedOut(), handed - c.latency >= end) << c.name << " at " << handed;
      handed += 100;
    }
    EXPECT_EQ(d.clock.Sounded(d.At(ms)), end) << c.name;
  }
}

TEST(PlayoutClock, SilenceBetweenRunsIsNotCounted) {
  // The queue ran dry for one period (a late feed): 150 frames, a period of
  // silence, then the rest.
  Device d(100);
  d.Callback(0, 0, 100);
  d.Callback(100, 0, 50);  // 50 frames, then 50 of silence
  EXPECT_EQ(d.clock.Sounded(d.At(200)), 100);
  d.Callback(200, 0, 0);
  EXPECT_EQ(d.clock.Sounded(d.At(280)), 150);  // device frame 180: silence after stream frame 150
  d.Callback(300, 20, 80);
  EXPECT_EQ(d.clock.Sounded(d.At(400)), 150);  // device frame 300: still silence
  d.Callback(400, 0, 100);
  EXPECT_EQ(d.clock.Sounded(d.At(450)), 180);  // device frame 350: 30 into the run from 320
  EXPECT_EQ(d.clock.StreamHanded(), 330);
}

}  // namespace
}  // namespace snipwave::test
