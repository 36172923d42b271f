#include "waveform/WaveformPeaks.h"

#include <algorithm>

namespace snipwave {

WaveformPeaks::WaveformPeaks(std::int64_t totalFrames, int sampleRate, int channels)
    : totalFrames_(std::max<std::int64_t>(totalFrames, 0)), sampleRate_(sampleRate), channels_(channels) {
  // Levels until one block spans the whole file, so any zoom finds a level
  // with at most a few thousand peaks across the view.
  std::int64_t block = kBaseFrames;
  do {
    levels_.push_back(Level{block, {}, {}, 0});
    block *= kLevelFactor;
  } while (block / kLevelFactor < totalFrames_ && levels_.size() < 16);
  const auto basePeaks = static_cast<std::size_t>((totalFrames_ + kBaseFrames - 1) / kBaseFrames);
  levels_[0].peaks.reserve(basePeaks);
}

void WaveformPeaks::Push(std::size_t level, PeakPair peak) {
  Level& l = levels_[level];
  l.peaks.push_back(peak);
  if (level + 1 >= levels_.size()) return;
  Level& up = levels_[level + 1];
  up.pending = up.pendingCount == 0 ? peak : Merge(up.pending, peak);
  if (++up.pendingCount == kLevelFactor) {
    up.pendingCount = 0;
    Push(level + 1, up.pending);
  }
}

void WaveformPeaks::Append(const std::vector<PeakPair>& basePeaks, bool last) {
  if (complete_) return;
  for (const PeakPair& peak : basePeaks) Push(0, peak);
  if (!last) return;
  // The partial blocks of the coarser levels become whole: the file ends there.
  for (std::size_t level = 1; level < levels_.size(); ++level) {
    Level& l = levels_[level];
    if (l.pendingCount == 0) continue;
    l.pendingCount = 0;
    Push(level, l.pending);
  }
  complete_ = true;
}

std::int64_t WaveformPeaks::ScannedFrames() const {
  return std::min(totalFrames_, static_cast<std::int64_t>(levels_[0].peaks.size()) * kBaseFrames);
}

std::size_t WaveformPeaks::Bytes() const {
  std::size_t bytes = sizeof(*this);
  for (const Level& l : levels_) bytes += l.peaks.capacity() * sizeof(PeakPair);
  bytes += sketch_.capacity() * sizeof(PeakPair);
  return bytes;
}

std::optional<PeakPair> WaveformPeaks::Range(std::int64_t from, std::int64_t to, double framesPerPixel) const {
  const std::int64_t scanned = ScannedFrames();
  if (complete_ || failed_ || sketch_.empty() || to <= scanned) return ScannedRange(from, to, framesPerPixel);
  const std::optional<PeakPair> rest = SketchRange(std::max(from, scanned), to);
  if (from >= scanned) return rest;
  const std::optional<PeakPair> head = ScannedRange(from, scanned, framesPerPixel);
  if (!head || !rest) return head ? head : rest;
  return Merge(*head, *rest);
}

std::optional<PeakPair> WaveformPeaks::SketchRange(std::int64_t from, std::int64_t to) const {
  if (from >= totalFrames_ || totalFrames_ <= 0) return std::nullopt;
  const auto cells = static_cast<std::int64_t>(sketch_.size());
  // Cell i spans [i * total / cells, (i + 1) * total / cells).
  const std::int64_t first = std::max<std::int64_t>(from, 0) * cells / totalFrames_;
  const std::int64_t last = std::clamp<std::int64_t>((std::min(to, totalFrames_) * cells - 1) / totalFrames_, first, cells - 1);
  PeakPair peak = sketch_[static_cast<std::size_t>(first)];
  for (std::int64_t i = first + 1; i <= last; ++i) peak = Merge(peak, sketch_[static_cast<std::size_t>(i)]);
  return peak;
}

std::optional<PeakPair> WaveformPeaks::ScannedRange(std::int64_t from, std::int64_t to, double framesPerPixel) const {
  std::size_t level = 0;
  while (level + 1 < levels_.size() && static_cast<double>(levels_[level + 1].blockFrames) <= framesPerPixel) ++level;
  // A coarse level lags behind the base while a scan runs: it answers only
  // when it covers the range as far as the base does; else a finer one does.
  const std::int64_t needed = std::min(to, ScannedFrames());
  while (level > 0 && static_cast<std::int64_t>(levels_[level].peaks.size()) * levels_[level].blockFrames < needed)
    --level;
  const Level& l = levels_[level];
  const std::int64_t first = std::max<std::int64_t>(from, 0) / l.blockFrames;
  if (first >= static_cast<std::int64_t>(l.peaks.size())) return std::nullopt;
  const std::int64_t lastExclusive = std::min<std::int64_t>(
      static_cast<std::int64_t>(l.peaks.size()), std::max(first + 1, (to + l.blockFrames - 1) / l.blockFrames));
  PeakPair peak = l.peaks[static_cast<std::size_t>(first)];
  for (std::int64_t i = first + 1; i < lastExclusive; ++i) peak = Merge(peak, l.peaks[static_cast<std::size_t>(i)]);
  return peak;
}

}  // namespace snipwave
