#include "convert/KeptRanges.h"

#include <algorithm>

#include "convert/JobSupport.h"
#include "level/TruePeakScan.h"

namespace snipwave {

bool KeptBudget::Take(std::int64_t bytes) {
  std::int64_t left = left_.load();
  while (left >= bytes) {
    if (left_.compare_exchange_weak(left, left - bytes)) return true;
  }
  return false;
}

loudness::Loudness MeasureAndKeep(IAudioFile2& reader, unsigned rate, int channels, std::int64_t wanted,
                                  std::int64_t chunkFrames, const QString& source, KeptBudget& budget,
                                  std::optional<KeptRange>& kept) {
  channels = std::max(1, channels);
  const std::int64_t bytes = std::max<std::int64_t>(wanted, 0) * channels * std::int64_t(sizeof(float));
  KeptRange range;
  range.sourceRate = reader.SampleRate();
  range.bytes = bytes;
  const bool keeping = budget.Take(bytes);
  try {
    loudness::LoudnessMeter meter(static_cast<int>(rate), channels, source.toStdString(), false);
    level::TruePeakScan peak(channels, static_cast<int>(rate));
    std::int64_t done = 0;
    while (done < wanted) {
      SampleBuffer buffer = reader.ReadSamples(static_cast<int>(std::min(chunkFrames, wanted - done)));
      if (buffer.empty()) break;
      const std::size_t frames = buffer.size() / std::size_t(channels);
      meter.Add(buffer.data(), frames);
      peak.Add(buffer.data(), frames);
      done += std::int64_t(frames);
      if (keeping) range.chunks.push_back(std::move(buffer));
    }
    range.damagedFrames = reader.DamagedFrames();
    detail::CloseIfOpen(&reader);
    loudness::Loudness result = meter.Result();
    result.truePeakDbtp = peak.PeakDb();
    if (keeping) kept = std::move(range);
    return result;
  } catch (...) {
    if (keeping) budget.Give(bytes);
    detail::CloseIfOpen(&reader);
    throw;
  }
}

}  // namespace snipwave
