// Playing the marked range: it starts on the begin mark's exact frame and
// the player gets nothing past the end mark; an ordinary play is not limited.
#include <gtest/gtest.h>

#include "PreviewHarness.h"
#include "preview/PositionMoves.h"
#include "preview/RangePlayback.h"

namespace snipwave::test {
namespace {

TEST(RangePlayback, PlaysFromTheBeginMarkToTheEndMarkExactly) {
  PreviewHarness h;
  RangePlayback range(h.state, h.player);
  h.state.AudioPlayer1 = &range;
  PositionMoves moves(h.state, h.preview);
  h.AddRow("/music/a.wav", 441000, 10000, 2);
  h.list.SelectRow(0);
  Timerec& r = h.state.TrackTable[0];
  r.BeginSample = 12345;  // between two bar steps
  r.EndSample = 12345 + 10000;

  range.PlayRange(h.preview, moves);
  ASSERT_TRUE(h.state.Playing);
  EXPECT_EQ(h.state.PlayStartSample, 12345);
  for (int i = 0; i < 6; ++i) h.player.FireEndArrayPlay();
  std::vector<float> played;  // the fake reader's frames carry their own index
  for (const SampleBuffer& b : h.player.queue)
    for (std::size_t i = 0; i < b.size(); i += 2) played.push_back(b[i]);
  ASSERT_EQ(played.size(), 10000u);
  EXPECT_EQ(played.front(), 12345.0f);
  EXPECT_EQ(played.back(), 12345.0f + 9999);

  // Stop ends the range mode: the next play runs to the end of the file.
  range.EndRangeMode();
  h.preview.Stop();
  h.preview.Play();
  h.player.FireEndArrayPlay();
  ASSERT_EQ(h.player.queue.size(), 3u);
  for (const SampleBuffer& b : h.player.queue) EXPECT_EQ(b.size(), 2u * PreviewPlayer::kFeedFrames);
}

TEST(RangePlayback, RefusedAsPlayIs) {
  PreviewHarness h;
  RangePlayback range(h.state, h.player);
  h.state.AudioPlayer1 = &range;
  PositionMoves moves(h.state, h.preview);
  range.PlayRange(h.preview, moves);  // empty list
  EXPECT_FALSE(h.state.Playing);
  h.AddRow("/music/a.wav", 441000, 10000, 2);
  h.state.Converting = true;
  range.PlayRange(h.preview, moves);
  EXPECT_FALSE(h.state.Playing);
  EXPECT_FALSE(range.RangeMode());
}

}  // namespace
}  // namespace snipwave::test
