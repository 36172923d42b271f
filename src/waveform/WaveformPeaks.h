#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "waveform/PeakBlocks.h"

namespace snipwave {

// The peaks of one file at several resolutions: level 0 holds one PeakPair
// per kBaseFrames frames, each further level one per kLevelFactor pairs of
// the level below. The levels grow as a background scan appends base peaks,
// so a view can draw what has arrived. Memory: 8 bytes per base peak plus a
// third for the coarser levels — a 3-hour 44.1 kHz file takes about 20 MB.
// Not thread-safe: one thread (the GUI's) appends and reads.
class WaveformPeaks {
 public:
  static constexpr int kBaseFrames = 256;
  static constexpr int kLevelFactor = 4;

  WaveformPeaks(std::int64_t totalFrames, int sampleRate, int channels);

  std::int64_t TotalFrames() const { return totalFrames_; }
  int SampleRate() const { return sampleRate_; }
  int Channels() const { return channels_; }

  // Appends base-level peaks in file order; `last` marks the end of the file
  // (the final, possibly shorter, block is then complete).
  void Append(const std::vector<PeakPair>& basePeaks, bool last);
  void Fail() { failed_ = true; }

  bool Complete() const { return complete_; }
  bool Failed() const { return failed_; }
  // Frames from the start that the peaks cover so far.
  std::int64_t ScannedFrames() const;
  std::size_t Bytes() const;
  int LevelCount() const { return static_cast<int>(levels_.size()); }

  // The peak of frames [from, to), from the coarsest level whose blocks are no
  // wider than `framesPerPixel`; nothing when no scanned peak covers `from`.
  std::optional<PeakPair> Range(std::int64_t from, std::int64_t to, double framesPerPixel) const;

 private:
  struct Level {
    std::int64_t blockFrames = 0;
    std::vector<PeakPair> peaks;
    PeakPair pending;  // merge of the children not yet making a whole block
    int pendingCount = 0;
  };
  void Push(std::size_t level, PeakPair peak);

  std::int64_t totalFrames_;
  int sampleRate_;
  int channels_;
  std::vector<Level> levels_;
  bool complete_ = false;
  bool failed_ = false;
};

}  // namespace snipwave
