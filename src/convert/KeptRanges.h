#pragma once

#include <QString>
#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

#include "components/audio/AudioInterfaces.h"
#include "components/loudness/LoudnessMeter.h"

namespace snipwave {

// A join's range as its reader gave it, chunk by chunk (interleaved float
// frames of the output's rate and channels), kept from the read that
// measured it so that writing it needs no second decode.
struct KeptRange {
  std::vector<SampleBuffer> chunks;
  std::int64_t damagedFrames = 0;  // source frames the reader gave as silence
  unsigned sourceRate = 0;
  std::int64_t bytes = 0;  // taken from the budget, given back once written
};

// The memory kept ranges may take at once, in bytes of samples: a range is
// kept only whole and only while what the ranges kept so far leave room for
// it. 256 MiB holds about 12 minutes of 44.1 kHz stereo (a single range
// longer than that is always decoded again).
class KeptBudget {
 public:
  static constexpr std::int64_t kBytes = std::int64_t(256) << 20;
  explicit KeptBudget(std::int64_t bytes = kBytes) : left_(bytes) {}
  // Takes `bytes` when that many are left.
  bool Take(std::int64_t bytes);
  void Give(std::int64_t bytes) { left_ += bytes; }

 private:
  std::atomic<std::int64_t> left_;
};

// One pass over a join's range: reads `wanted` frames from `reader`, opened
// on the source, seeked to the range and set to the output's `rate` and
// `channels` (`chunkFrames` a read, as the join writes them), and measures them
// (the loudness meter, and the level library's scan for the true peak). The chunks
// are kept in `kept` when the budget has room for all `wanted` frames.
// Reads until the source ends when it ends early. Throws what the reader or
// the meter throws (nothing is kept then); leaves the reader closed.
loudness::Loudness MeasureAndKeep(IAudioFile2& reader, unsigned rate, int channels, std::int64_t wanted,
                                  std::int64_t chunkFrames, const QString& source, KeptBudget& budget,
                                  std::optional<KeptRange>& kept);

}  // namespace snipwave
