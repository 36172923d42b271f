#include "components/loudness/ReaderLoudness.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "components/audio/AudioInterfaces.h"

namespace snipwave::loudness {

namespace {
// Frames per read: the meter works in 100 ms steps anyway; a larger block
// only saves calls.
constexpr int kReadFrames = 1 << 16;
// The reader's exact seek (see IAudioFile2::SeekSample).
constexpr int kSeekExact = 3;
}  // namespace

Loudness MeasureOpenReader(IAudioFile2& reader, std::int64_t begin, std::int64_t end, const std::string& what) {
  LoudnessMeter meter(static_cast<int>(reader.SampleRate()), reader.Channels(), what);
  FeedOpenReader(reader, meter, begin, end);
  return meter.Result();
}

void FeedOpenReader(IAudioFile2& reader, LoudnessMeter& meter, std::int64_t begin, std::int64_t end,
                    const std::function<bool(std::int64_t)>& keepGoing) {
  const std::int64_t length = reader.LengthSamples();
  const std::int64_t last = end < 0 ? length : std::min(end, length);
  const std::int64_t first = std::clamp<std::int64_t>(begin, 0, last);
  const int channels = reader.Channels();
  if (first > 0) reader.SeekSample(first, kSeekExact);
  std::int64_t done = 0;
  const std::int64_t wanted = last - first;
  while (done < wanted) {
    const int ask = static_cast<int>(std::min<std::int64_t>(kReadFrames, wanted - done));
    const SampleBuffer buffer = reader.ReadSamples(ask);
    const auto frames = static_cast<std::int64_t>(buffer.size() / static_cast<std::size_t>(channels));
    if (frames == 0) break;  // a file shorter than its header said: what there is
    meter.Add(buffer.data(), static_cast<std::size_t>(frames));
    done += frames;
    if (keepGoing && !keepGoing(done)) return;
  }
}

std::optional<double> Shown(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

std::string Describe(const Loudness& loudness) {
  if (!Shown(loudness.integratedLufs)) return "silent";
  char text[96];
  std::snprintf(text, sizeof text, "%.1f LUFS, range %.1f LU, true peak %.1f dBTP", loudness.integratedLufs,
                loudness.rangeLu, loudness.truePeakDbtp);
  return text;
}

}  // namespace snipwave::loudness
