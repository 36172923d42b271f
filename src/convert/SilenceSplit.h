#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "settings/SettingsKeys.h"

namespace snipwave {

class IAudioFile2;

struct SilenceRule {
  // dBFS: a frame is silent when every channel stays below it
  double thresholdDb = settings::kDefaultSilenceThresholdDb;
  // Shortest stretch of silent frames that counts.
  double minSeconds = settings::kDefaultSilenceMinSeconds;
  bool operator==(const SilenceRule&) const = default;
};

// Finds silent frames in a stream fed in blocks and turns each inner silence
// (one that neither starts the range nor reaches its end) into a split point
// at its middle. Leading and trailing silence stay with the first and last
// part. Positions are frames from the range's start.
class SilenceFinder {
 public:
  SilenceFinder(SilenceRule rule, unsigned sampleRate, int channels);
  void Feed(const float* samples, std::int64_t frames);
  // The split points, ascending; call once after the last Feed.
  std::vector<std::int64_t> Finish();

 private:
  void EndRun(bool atRangeEnd);

  float threshold_;
  std::int64_t minFrames_;
  int channels_;
  std::int64_t position_ = 0;
  std::int64_t runStart_ = -1;  // first frame of the current silent run, -1: none
  std::vector<std::int64_t> points_;
};

// Reads [begin, end) of the file open in `reader` (positioned by a seek here)
// and returns the split points as frames of the file. `keepGoing` is asked
// between blocks with the share done (0..1); false stops the scan, and then
// nothing is returned.
std::vector<std::int64_t> FindSilenceSplits(IAudioFile2& reader, std::int64_t begin, std::int64_t end,
                                            const SilenceRule& rule,
                                            const std::function<bool(double)>& keepGoing = {});

}  // namespace snipwave
