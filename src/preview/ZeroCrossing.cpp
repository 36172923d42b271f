#include "preview/ZeroCrossing.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "components/audio/AudioInterfaces.h"

namespace snipwave {

namespace {
constexpr int kSeekExact = 3;  // IAudioFile2::SeekSample's exact mode
}

std::int64_t NearestZeroCrossing(IAudioFile2& reader, std::int64_t sample, std::int64_t window) {
  if (window <= 0) return sample;
  const std::int64_t length = reader.LengthSamples();
  const std::int64_t first = std::clamp<std::int64_t>(sample - window, 0, length);
  const std::int64_t last = std::clamp<std::int64_t>(sample + window, 0, length);  // inclusive when < length
  const int channels = std::max(reader.Channels(), 1);
  reader.SeekSample(first, kSeekExact);
  std::vector<float> mix;
  const auto wanted = static_cast<std::size_t>(std::min(last + 1, length) - first);
  mix.reserve(wanted);
  while (mix.size() < wanted) {
    const SampleBuffer buffer = reader.ReadSamples(static_cast<int>(wanted - mix.size()));
    const std::size_t frames = buffer.size() / static_cast<std::size_t>(channels);
    if (frames == 0) break;
    for (std::size_t f = 0; f < frames; ++f) {
      float sum = 0;
      for (int c = 0; c < channels; ++c) sum += buffer[f * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)];
      mix.push_back(sum);
    }
  }
  std::int64_t best = -1;
  auto consider = [&](std::int64_t frame) {
    if (frame < sample - window || frame > sample + window) return;
    if (best < 0 || std::llabs(frame - sample) < std::llabs(best - sample) ||
        (std::llabs(frame - sample) == std::llabs(best - sample) && frame < best))
      best = frame;
  };
  for (std::size_t i = 0; i < mix.size(); ++i) {
    const std::int64_t frame = first + static_cast<std::int64_t>(i);
    if (mix[i] == 0.0f) {
      consider(frame);
    } else if (i + 1 < mix.size() && mix[i + 1] != 0.0f && (mix[i] < 0) != (mix[i + 1] < 0)) {
      consider(std::fabs(mix[i]) <= std::fabs(mix[i + 1]) ? frame : frame + 1);
    }
  }
  return best < 0 ? sample : best;
}

}  // namespace snipwave
