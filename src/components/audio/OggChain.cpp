#include "OggChain.h"

#include <algorithm>
#include <numeric>

#include "Resampler.h"
#include "SourceDecoder.h"
#include "platform/Error.h"

namespace snipwave::audio {

namespace {

// A link's frames at the source's rate: the converter's rounding rule.
std::int64_t ConvertedLength(std::int64_t frames, int inRate, int outRate) {
  return (frames * outRate + inRate / 2) / inRate;
}

}  // namespace

OggChain::OggChain(const std::string& path, int fd, const std::vector<OggLinkRange>& ranges,
                   const std::optional<FileIdentity>& identity)
    : path_(path) {
  for (std::size_t i = 0; i < ranges.size(); ++i) {
    Link link;
    try {
      link.decoder = std::make_unique<SourceDecoder>(path, fd, ranges[i], identity);
    } catch (const Error& e) {
      throw Error::Failed("Cannot read", path,
                          "link " + std::to_string(i + 1) + " of its " + std::to_string(ranges.size()) +
                              " chained Ogg streams cannot be read (" + e.what() + ")");
    }
    SourceDecoder& d = *link.decoder;
    if (i == 0) {
      rate_ = d.SampleRate();
      channels_ = d.Channels();
    }
    LinkFormat format{d.CodecName(), d.SampleRate(), d.Channels(), d.LengthFrames(), false};
    format.converted = d.SampleRate() != rate_ || d.Channels() != channels_;
    if (d.SampleRate() != rate_) format.frames = ConvertedLength(d.LengthFrames(), d.SampleRate(), rate_);
    link.start = length_;
    link.frames = format.frames;
    length_ += link.frames;
    d.Release();  // links are opened again one at a time, as they are read
    links_.push_back(std::move(link));
    formats_.push_back(std::move(format));
  }
}

OggChain::~OggChain() = default;

std::int64_t OggChain::DamagedFrames() const {
  std::int64_t n = 0;
  for (const Link& link : links_) n += link.decoder->DamagedFrames();
  return n;
}

void OggChain::Enter(std::size_t index, std::int64_t local) {
  if (entered_ && index != current_) links_[current_].decoder->Release();
  current_ = index;
  entered_ = true;
  conversion_.reset();
  converted_.clear();
  convertedRead_ = 0;
  drained_ = false;
  SourceDecoder& d = *links_[index].decoder;
  if (!formats_[index].converted || local >= links_[index].frames) {
    d.Seek(formats_[index].converted ? d.LengthFrames() : local);  // at its end nothing is left to convert
    return;
  }
  // Start where input and output frames coincide, early enough for the
  // filter, then drop the converted frames before `local`.
  const int inRate = d.SampleRate();
  const std::int64_t g = std::gcd(inRate, rate_);
  const std::int64_t inStep = inRate / g, outStep = rate_ / g;
  const std::int64_t wanted = local * inRate / rate_ - kWarmUp;
  const std::int64_t steps = std::max<std::int64_t>(0, wanted / inStep);
  d.Seek(steps * inStep);
  conversion_ = std::make_unique<Resampler>(inRate, d.Channels(), rate_, channels_, AV_SAMPLE_FMT_FLT, path_);
  std::int64_t skip = local - steps * outStep;
  std::vector<float> dropped;
  while (skip > 0) {
    dropped.clear();
    const std::size_t got = ReadLink(static_cast<std::size_t>(std::min<std::int64_t>(skip, 1 << 16)), dropped);
    if (got == 0) break;
    skip -= static_cast<std::int64_t>(got);
  }
}

std::size_t OggChain::ReadLink(std::size_t frames, std::vector<float>& out) {
  SourceDecoder& d = *links_[current_].decoder;
  if (!conversion_) return d.Read(frames, out);
  const auto available = [this] { return (converted_.size() - convertedRead_) / static_cast<std::size_t>(channels_); };
  while (available() < frames && !drained_) {
    scratch_.clear();
    const std::size_t got = d.Read(4096, scratch_);
    if (got > 0) {
      conversion_->ConvertAppend(scratch_.data(), static_cast<int>(got), converted_);
    } else {
      conversion_->FlushAppend(converted_);
      drained_ = true;
    }
  }
  const std::size_t n = std::min(frames, available());
  const std::size_t elements = n * static_cast<std::size_t>(channels_);
  const auto from = converted_.begin() + static_cast<std::ptrdiff_t>(convertedRead_);
  out.insert(out.end(), from, from + static_cast<std::ptrdiff_t>(elements));
  convertedRead_ += elements;
  if (convertedRead_ == converted_.size()) {
    converted_.clear();
    convertedRead_ = 0;
  }
  return n;
}

std::size_t OggChain::Read(std::size_t frames, std::vector<float>& out) {
  if (!entered_) Enter(0, 0);
  std::size_t total = 0;
  while (total < frames && position_ < length_) {
    const Link& link = links_[current_];
    const std::int64_t left = link.start + link.frames - position_;
    if (left <= 0) {
      if (current_ + 1 >= links_.size()) break;
      Enter(current_ + 1, 0);
      continue;
    }
    const std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(left, static_cast<std::int64_t>(frames - total)));
    const std::size_t got = ReadLink(want, out);
    total += got;
    position_ += static_cast<std::int64_t>(got);
    if (got == 0) break;  // the file ended early (it shrank while open)
  }
  return total;
}

void OggChain::Seek(std::int64_t frame) {
  frame = std::clamp<std::int64_t>(frame, 0, length_);
  if (entered_ && frame == position_) return;
  std::size_t i = 0;
  while (i + 1 < links_.size() && frame >= links_[i].start + links_[i].frames) ++i;
  Enter(i, std::min(frame - links_[i].start, links_[i].frames));
  position_ = frame;
}

}  // namespace snipwave::audio
