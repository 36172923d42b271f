#include "convert/SilenceSplit.h"

#include <algorithm>
#include <cmath>

#include "components/audio/AudioInterfaces.h"

namespace snipwave {

SilenceFinder::SilenceFinder(SilenceRule rule, unsigned sampleRate, int channels)
    : threshold_(static_cast<float>(std::pow(10.0, rule.thresholdDb / 20.0))),
      // Capped so that an absurd length cannot overflow: no range is that long anyway.
      minFrames_(std::max<std::int64_t>(1, std::llround(std::min(rule.minSeconds * sampleRate, 1e18)))),
      channels_(std::max(1, channels)) {}

void SilenceFinder::Feed(const float* samples, std::int64_t frames) {
  for (std::int64_t f = 0; f < frames; ++f, ++position_) {
    const float* frame = samples + f * channels_;
    bool silent = true;
    for (int c = 0; c < channels_ && silent; ++c) silent = std::fabs(frame[c]) < threshold_;
    if (silent) {
      if (runStart_ < 0) runStart_ = position_;
    } else if (runStart_ >= 0) {
      EndRun(false);
    }
  }
}

void SilenceFinder::EndRun(bool atRangeEnd) {
  const std::int64_t length = position_ - runStart_;
  // A silence at the start or the end of the range belongs to its part.
  if (length >= minFrames_ && runStart_ > 0 && !atRangeEnd) points_.push_back(runStart_ + length / 2);
  runStart_ = -1;
}

std::vector<std::int64_t> SilenceFinder::Finish() {
  if (runStart_ >= 0) EndRun(true);
  return points_;
}

std::vector<std::int64_t> FindSilenceSplits(IAudioFile2& reader, std::int64_t begin, std::int64_t end,
                                            const SilenceRule& rule, const std::function<bool(double)>& keepGoing) {
  const unsigned rate = reader.SampleRate();
  const int channels = std::max(1, reader.Channels());
  SilenceFinder finder(rule, rate, channels);
  reader.SeekSample(begin, 3);
  const std::int64_t count = std::max<std::int64_t>(0, end - begin);
  std::int64_t done = 0;
  while (done < count) {
    if (keepGoing && !keepGoing(double(done) / double(count))) return {};
    const SampleBuffer buffer = reader.ReadSamples(static_cast<int>(std::min<std::int64_t>(rate, count - done)));
    if (buffer.empty()) break;
    const std::int64_t frames = std::min<std::int64_t>(static_cast<std::int64_t>(buffer.size()) / channels, count - done);
    finder.Feed(buffer.data(), frames);
    done += frames;
  }
  std::vector<std::int64_t> points = finder.Finish();
  for (std::int64_t& point : points) point += begin;
  return points;
}

}  // namespace snipwave
