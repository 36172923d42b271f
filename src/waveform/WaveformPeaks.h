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
  // A coarse stand-in for the part not scanned yet: cells spread evenly over
  // the whole file (cell i stands for frames [i, i + 1) x TotalFrames() /
  // cells), each the peak of a short stretch decoded near it. Range answers
  // from it beyond ScannedFrames() until the scan completes (not after it
  // failed: what could not be read is not shown).
  void SetSketch(std::vector<PeakPair> cells) { sketch_ = std::move(cells); }
  const std::vector<PeakPair>& Sketch() const { return sketch_; }

  bool Complete() const { return complete_; }
  bool Failed() const { return failed_; }
  // Frames from the start that the peaks cover so far.
  std::int64_t ScannedFrames() const;
  std::size_t Bytes() const;
  int LevelCount() const { return static_cast<int>(levels_.size()); }

  // The peak of frames [from, to), from the coarsest level whose blocks are no
  // wider than `framesPerPixel`, and from the sketch for frames not scanned
  // yet; nothing when neither covers `from`.
  std::optional<PeakPair> Range(std::int64_t from, std::int64_t to, double framesPerPixel) const;

 private:
  struct Level {
    std::int64_t blockFrames = 0;
    std::vector<PeakPair> peaks;
    PeakPair pending;  // merge of the children not yet making a whole block
    int pendingCount = 0;
  };
  void Push(std::size_t level, PeakPair peak);
  std::optional<PeakPair> ScannedRange(std::int64_t from, std::int64_t to, double framesPerPixel) const;
  std::optional<PeakPair> SketchRange(std::int64_t from, std::int64_t to) const;

  std::int64_t totalFrames_;
  int sampleRate_;
  int channels_;
  std::vector<Level> levels_;
  std::vector<PeakPair> sketch_;
  bool complete_ = false;
  bool failed_ = false;
};

}  // namespace snipwave
