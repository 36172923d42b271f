#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "OggLayout.h"
#include "ScanCache.h"

namespace snipwave::audio {

class Resampler;
class SourceDecoder;

// One link of a chained source as `probe` names it: its codec, own format,
// and the frames it adds to the source (at the source's rate).
struct LinkFormat {
  std::string codec;
  int sampleRate = 0;
  int channels = 0;
  std::int64_t frames = 0;
  bool converted = false;  // resampled/remixed to the first link's format
};

// A chained Ogg file (files joined one after another, as internet-radio
// recordings are) read as one source: every link in order, each decoded
// exactly on its own through a byte-range view of the one open descriptor,
// with one running frame position. The first link sets the rate and channel
// count; a link in another format is converted to it (Resampler), its length
// then being its own frames x rate ratio, rounded to the nearest.
//
// Seeking finds the link and seeks inside it. In a converted link the
// decoder starts at an input frame where input and output frames meet on a
// whole frame (a multiple of inRate / gcd(inRate, outRate)) at least
// kWarmUp input frames early, so the converter's filter sees the same
// samples at the same phases as in a continuous read.
class OggChain {
 public:
  // `identity`: the whole file's, under which the links' scans are cached.
  OggChain(const std::string& path, int fd, const std::vector<OggLinkRange>& ranges,
           const std::optional<FileIdentity>& identity);
  ~OggChain();

  int SampleRate() const { return rate_; }
  int Channels() const { return channels_; }
  std::int64_t LengthFrames() const { return length_; }
  std::int64_t Position() const { return position_; }
  std::int64_t DamagedFrames() const;
  const std::vector<LinkFormat>& Links() const { return formats_; }

  std::size_t Read(std::size_t frames, std::vector<float>& out);
  void Seek(std::int64_t frame);

 private:
  static constexpr std::int64_t kWarmUp = 8192;
  struct Link {
    std::unique_ptr<SourceDecoder> decoder;
    std::int64_t start = 0;   // first frame in the source
    std::int64_t frames = 0;  // frames at the source's rate
  };
  // Makes `link` the current one, positioned at its frame `local`.
  void Enter(std::size_t link, std::int64_t local);
  // Up to `frames` frames of the current link, converted when it must be.
  std::size_t ReadLink(std::size_t frames, std::vector<float>& out);

  std::string path_;
  int rate_ = 0;
  int channels_ = 0;
  std::int64_t length_ = 0;
  std::vector<Link> links_;
  std::vector<LinkFormat> formats_;
  std::size_t current_ = 0;
  bool entered_ = false;
  std::int64_t position_ = 0;
  std::unique_ptr<Resampler> conversion_;
  std::vector<float> converted_;  // converted frames not yet handed out
  std::size_t convertedRead_ = 0;  // elements of converted_ handed out
  bool drained_ = false;
  std::vector<float> scratch_;
};

}  // namespace snipwave::audio
