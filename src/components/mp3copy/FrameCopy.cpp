#include "FrameCopy.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <optional>

#include "TagFrame.h"
#include "components/audio/Mp3InfoTag.h"
#include "platform/Error.h"

namespace snipwave::mp3copy {

namespace {

constexpr std::int64_t kDecoderDelay = audio::kMp3DecoderDelay;
constexpr std::int64_t kMaxTagField = 4095;  // delay and padding have 12 bits each
constexpr std::int64_t kMaxReservoirReach = 512;
constexpr std::int64_t kFramesPerChunk = 2000;
constexpr int kMaxWindowShifts = 8;
constexpr const char* kWrite = "Cannot write";
constexpr std::int64_t kFadeFrames = 1152;
constexpr std::int64_t kLameEncoderDelay = 576;  // libmp3lame's, for Layer III at any rate
constexpr double kPi = 3.14159265358979323846;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
std::int64_t CeilDiv(std::int64_t a, std::int64_t b) { return -FloorDiv(-a, b); }
std::int64_t Mod(std::int64_t a, std::int64_t b) { return a - FloorDiv(a, b) * b; }

// The LAME tag's CRC-16 eight bytes at a step (slicing-by-8): the music CRC
// covers every byte written, so it must not cost more than the copy.
class Crc16Table {
 public:
  Crc16Table() {
    for (int i = 0; i < 256; ++i) {
      const auto byte = static_cast<std::uint8_t>(i);
      table_[0][static_cast<std::size_t>(i)] = Crc16(0, &byte, 1);
    }
    for (std::size_t k = 1; k < 8; ++k)
      for (std::size_t i = 0; i < 256; ++i)
        table_[k][i] = static_cast<std::uint16_t>((table_[k - 1][i] >> 8) ^ table_[0][table_[k - 1][i] & 0xFF]);
  }
  std::uint16_t Update(std::uint16_t crc, const std::uint8_t* data, std::size_t size) const {
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
      const std::uint8_t* p = data + i;
      crc = static_cast<std::uint16_t>(table_[7][(crc ^ p[0]) & 0xFF] ^ table_[6][((crc >> 8) ^ p[1]) & 0xFF] ^
                                       table_[5][p[2]] ^ table_[4][p[3]] ^ table_[3][p[4]] ^ table_[2][p[5]] ^
                                       table_[1][p[6]] ^ table_[0][p[7]]);
    }
    for (; i < size; ++i) crc = static_cast<std::uint16_t>((crc >> 8) ^ table_[0][(crc ^ data[i]) & 0xFF]);
    return crc;
  }

 private:
  std::array<std::array<std::uint16_t, 256>, 8> table_{};
};

// A run of source frames [a, b) of range `row`, copied as they are.
struct Window {
  int row = 0;
  std::int64_t a = 0, b = 0;
};

class FrameCopyWriter {
 public:
  FrameCopyWriter(const std::vector<CopyRange>& ranges, const PcmSource& pcm, const EdgeEncoding& encoding,
                  std::string path, const std::function<bool(double)>& keepGoing)
      : pcm_(pcm), encoding_(encoding), path_(std::move(path)), keepGoing_(keepGoing) {
    // Ranges of one file that continue each other are one range: the frame
    // across their meeting point is copied too.
    for (std::size_t row = 0; row < ranges.size(); ++row) {
      const CopyRange& r = ranges[row];
      if (!ranges_.empty() && ranges_.back().stream == r.stream && ranges_.back().end == r.begin) {
        ranges_.back().end = r.end;
        continue;
      }
      ranges_.push_back(r);
      rowOf_.push_back(static_cast<int>(row));
    }
  }

  CopyOutcome Run();

 private:
  struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };

  const Mp3Stream& StreamOf(int row) const { return *ranges_[static_cast<std::size_t>(row)].stream; }
  // Frame `k` of range `row` with its side information read.
  Mp3Frame Detail(int row, std::int64_t k) const {
    const CopyRange& r = ranges_[static_cast<std::size_t>(row)];
    const Mp3Frame& f = r.stream->frames[static_cast<std::size_t>(k)];
    return ParseMp3Frame(r.bytes + f.offset, static_cast<std::size_t>(f.size), f.offset).value_or(f);
  }
  // Decoded output position of the first sample of source frame `frame` of `row`.
  std::int64_t OutputPosition(int row, std::int64_t frame) const {
    const CopyRange& r = ranges_[static_cast<std::size_t>(row)];
    return starts_[static_cast<std::size_t>(row)] + frame * n_ - r.stream->frontSkip - r.begin;
  }
  void Plan();
  // Output samples [from, to); with `fadeOut`, what follows the end is the
  // last source's continuation fading out, else silence.
  std::vector<float> Timeline(std::int64_t from, std::int64_t to, bool fadeOut) const;
  std::vector<std::vector<std::uint8_t>> EncodeGap(std::int64_t from, std::int64_t to, bool first, bool last);
  std::optional<std::vector<std::uint8_t>> ReservoirFor(const Window& w) const;
  bool Bridge(std::vector<std::uint8_t>& frame, const std::vector<std::uint8_t>& reservoir) const;
  void Put(const std::uint8_t* bytes, std::size_t size, std::int64_t frames);
  void PutFrame(const std::vector<std::uint8_t>& frame) { Put(frame.data(), frame.size(), 1); }
  bool CopyWindow(const Window& w);
  void Finish(std::int64_t decoded);
  [[noreturn]] void Fail() const { throw Error::Failed(kWrite, path_, std::strerror(errno ? errno : EIO)); }

  std::vector<CopyRange> ranges_;
  std::vector<int> rowOf_;  // the caller's row of each range
  const PcmSource& pcm_;
  EdgeEncoding encoding_;
  std::string path_;
  const std::function<bool(double)>& keepGoing_;

  std::int64_t n_ = 1152;                 // samples per frame
  std::vector<std::int64_t> starts_;       // each range's first sample in the output
  std::int64_t total_ = 0;                 // decoded output length
  std::int64_t encoderDelay_ = 576;        // the edge encoder's delay
  std::int64_t frontSkip_ = 0;             // decoded output sample 0 is raw output sample frontSkip_
  bool startsWithCopy_ = false;            // the first window is the file's own start: no head
  std::vector<Window> windows_;
  CopyOutcome outcome_;

  std::unique_ptr<std::FILE, FileCloser> file_;
  std::int64_t written_ = 0;               // bytes, tag frame included
  std::int64_t rawFrames_ = 0;             // audio frames written
  std::int64_t plannedFrames_ = 1;
  std::vector<std::int64_t> offsets_;
  std::map<int, int> bitrates_;            // bit rate index -> frames
  std::uint16_t crc_ = 0;
  Crc16Table crcTable_;
};

void FrameCopyWriter::Plan() {
  const auto rows = static_cast<int>(ranges_.size());
  std::int64_t at = 0;
  for (const CopyRange& r : ranges_) {
    starts_.push_back(at);
    at += r.end - r.begin;
  }
  total_ = at;

  // Candidate windows: the frames whose decoded samples lie inside the range.
  std::vector<Window> candidates;
  for (int row = 0; row < rows; ++row) {
    const CopyRange& r = ranges_[static_cast<std::size_t>(row)];
    const Mp3Stream& s = *r.stream;
    const auto frames = static_cast<std::int64_t>(s.frames.size());
    Window w{row, std::max<std::int64_t>(0, CeilDiv(r.begin + s.frontSkip, n_)),
             std::min(frames, FloorDiv(r.end + s.frontSkip, n_))};
    // The file's own start and end may be copied with the frames around
    // them: what lies outside the range there is the source's own delay and
    // padding, which the tag trims again.
    if (row == 0 && r.begin == 0 && s.frontSkip >= kDecoderDelay && s.frontSkip - kDecoderDelay <= kMaxTagField &&
        !s.frames.empty() && Detail(row, 0).mainDataBegin == 0) {
      w.a = 0;
      startsWithCopy_ = true;
    }
    const std::int64_t padding = frames * n_ - s.frontSkip - r.end + kDecoderDelay;
    if (row == rows - 1 && r.end == s.length && padding >= kDecoderDelay && padding <= kMaxTagField) w.b = frames;
    if (w.a < w.b) {
      candidates.push_back(w);
    } else if (row == 0) {
      startsWithCopy_ = false;
    }
  }

  // Frames keep their length, so copied runs sit on one grid of the output:
  // the runs whose grid is most common by frames copied are kept.
  std::map<std::int64_t, std::int64_t> framesByPhase;
  for (const Window& w : candidates) framesByPhase[Mod(OutputPosition(w.row, w.a), n_)] += w.b - w.a;
  std::optional<std::int64_t> phase;
  if (startsWithCopy_) {
    phase = Mod(OutputPosition(0, 0), n_);
  } else if (!framesByPhase.empty()) {
    phase = std::max_element(framesByPhase.begin(), framesByPhase.end(),
                             [](const auto& x, const auto& y) { return x.second < y.second; })
                ->first;
  }
  for (const Window& w : candidates) {
    if (Mod(OutputPosition(w.row, w.a), n_) == phase) {
      windows_.push_back(w);
    } else {
      outcome_.encodedRanges.push_back(rowOf_[static_cast<std::size_t>(w.row)]);
    }
  }

  // Neighbouring runs of one file that continue each other are one run.
  std::vector<Window> merged;
  for (const Window& w : windows_) {
    if (!merged.empty()) {
      Window& last = merged.back();
      const bool sameFile = ranges_[static_cast<std::size_t>(last.row)].stream == ranges_[static_cast<std::size_t>(w.row)].stream;
      if (sameFile && last.b == w.a && OutputPosition(last.row, last.b) == OutputPosition(w.row, w.a)) {
        last.b = w.b;  // keeps the first row's numbering; positions agree
        continue;
      }
    }
    merged.push_back(w);
  }
  // Joints to re-encoded frames need long windows on the copied side.
  windows_.clear();
  for (std::size_t j = 0; j < merged.size(); ++j) {
    Window w = merged[j];
    const bool openStart = j == 0 && startsWithCopy_;
    const bool openEnd = j + 1 == merged.size() && OutputPosition(w.row, w.b) >= total_;
    while (!openStart && w.a < w.b && !Detail(w.row, w.a).startsLong) ++w.a;
    while (!openEnd && w.a < w.b && !Detail(w.row, w.b - 1).endsLong) --w.b;
    if (w.a < w.b) windows_.push_back(w);
  }
  if (windows_.empty() || windows_[0].row != 0 || windows_[0].a != 0) startsWithCopy_ = false;

  if (startsWithCopy_) {
    frontSkip_ = StreamOf(0).frontSkip;
  } else {
    frontSkip_ = encoderDelay_ + kDecoderDelay;
    if (!windows_.empty()) frontSkip_ += Mod(-(frontSkip_ + OutputPosition(windows_[0].row, windows_[0].a)), n_);
  }
  plannedFrames_ = std::max<std::int64_t>(1, CeilDiv(total_ + frontSkip_, n_));
}

std::vector<float> FrameCopyWriter::Timeline(std::int64_t from, std::int64_t to, bool fadeOut) const {
  const auto channels = static_cast<std::size_t>(encoding_.channels);
  std::vector<float> out(static_cast<std::size_t>(std::max<std::int64_t>(0, to - from)) * channels, 0.0f);
  for (std::size_t row = 0; row < ranges_.size(); ++row) {
    const CopyRange& r = ranges_[row];
    const std::int64_t lo = std::max(from, starts_[row]), hi = std::min(to, starts_[row] + (r.end - r.begin));
    if (lo >= hi) continue;
    const std::vector<float> part = pcm_(rowOf_[row], r.begin + (lo - starts_[row]), hi - lo);
    const std::size_t want = static_cast<std::size_t>(hi - lo) * channels;
    std::copy_n(part.begin(), std::min(want, part.size()),
                out.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(lo - from) * channels));
  }
  // After the end the source's own continuation fades out: the last frames
  // are long blocks, and a hard stop inside their window would spread its
  // noise over the samples before it. A gapless decoder trims what follows
  // the end.
  const CopyRange& last = ranges_.back();
  const std::int64_t lo = std::max(from, total_), hi = std::min(to, total_ + (fadeOut ? kFadeFrames : 0));
  if (lo < hi) {
    const std::vector<float> part = pcm_(rowOf_.back(), last.end + (lo - total_), hi - lo);
    for (std::int64_t t = lo; t < hi; ++t) {
      const double gain = 0.5 * (1.0 + std::cos(kPi * double(t - total_) / double(kFadeFrames)));
      for (std::size_t c = 0; c < channels; ++c) {
        const std::size_t in = static_cast<std::size_t>(t - lo) * channels + c;
        if (in < part.size()) out[static_cast<std::size_t>(t - from) * channels + c] = float(part[in] * gain);
      }
    }
  }
  return out;
}

// Frames that decode to output samples [from, to). The encoder is given the
// sound before and after as well, so that its first and last kept frames
// overlap the copied neighbours as the source's own frames did.
std::vector<std::vector<std::uint8_t>> FrameCopyWriter::EncodeGap(std::int64_t from, std::int64_t to, bool first,
                                                                  bool last) {
  const std::int64_t decodedAt = encoderDelay_ + kDecoderDelay;  // raw position of encoder input sample 0
  std::int64_t startFrame = 0, lead = 0, keep = 0;
  if (first) {
    lead = frontSkip_ - decodedAt;  // silence ahead, as any encode starts
    keep = last ? CeilDiv(frontSkip_ + (to - from), n_) : (frontSkip_ + (to - from)) / n_;
  } else {
    startFrame = CeilDiv(1152 + decodedAt, n_);  // at least 1152 samples of lead-in
    lead = startFrame * n_ - decodedAt;
    keep = last ? CeilDiv(to - from, n_) : (to - from) / n_;
  }
  const std::int64_t tail = 2 * n_ + decodedAt;
  // Only frames that meet copied ones need to stand alone with long windows.
  const bool standalone = first && last;
  EncodedFrames encoded = EncodeEdge(encoding_, Timeline(from - lead, to + tail, !standalone), !standalone, path_);
  if (encoded.delay != encoderDelay_ ||
      static_cast<std::int64_t>(encoded.frames.size()) < startFrame + keep) {
    throw Error::Failed(kWrite, path_, "the encoder did not deliver the frames the edges need");
  }
  std::vector<std::vector<std::uint8_t>> kept(encoded.frames.begin() + startFrame,
                                              encoded.frames.begin() + startFrame + keep);
  for (const auto& frame : kept) {
    const std::optional<Mp3Frame> parsed = ParseMp3Frame(frame.data(), frame.size(), 0);
    if (!parsed || (!standalone && parsed->mainDataBegin != 0) || (frame[1] & 1) == 0)
      throw Error::Failed(kWrite, path_, "the encoder wrote a frame that depends on others");
  }
  outcome_.encodedFrames += keep;
  return kept;
}

// The main-data bytes that the run's first frames take from before the run
// (the bit reservoir), in stream order; nullopt when the source lacks them.
std::optional<std::vector<std::uint8_t>> FrameCopyWriter::ReservoirFor(const Window& w) const {
  const CopyRange& r = ranges_[static_cast<std::size_t>(w.row)];
  const std::vector<Mp3Frame>& frames = r.stream->frames;
  std::int64_t need = 0, distance = 0;
  for (std::int64_t k = w.a; k < w.b && distance < kMaxReservoirReach; ++k) {
    const Mp3Frame f = Detail(w.row, k);
    need = std::max(need, f.mainDataBegin - distance);
    distance += f.SlotBytes();
  }
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(need));
  std::int64_t missing = need;
  for (std::int64_t k = w.a - 1; missing > 0 && k >= 0; --k) {
    const Mp3Frame& f = frames[static_cast<std::size_t>(k)];
    const std::int64_t take = std::min<std::int64_t>(missing, f.SlotBytes());
    std::memcpy(bytes.data() + (missing - take), r.bytes + f.offset + f.size - take, static_cast<std::size_t>(take));
    missing -= take;
  }
  if (missing > 0) return std::nullopt;
  return bytes;
}

// Puts `reservoir` at the end of `frame`'s slot, behind the frame's own main
// data, making the frame longer (a higher bit rate) when it has no room.
bool FrameCopyWriter::Bridge(std::vector<std::uint8_t>& frame, const std::vector<std::uint8_t>& reservoir) const {
  if (reservoir.empty()) return true;
  const std::optional<Mp3Frame> parsed = ParseMp3Frame(frame.data(), frame.size(), 0);
  if (!parsed) return false;
  const int used = parsed->MainBytesInSlot();
  const auto needed = used + static_cast<int>(reservoir.size());
  if (parsed->SlotBytes() < needed) {
    int index = frame[2] >> 4;
    while (index < 15 && Mp3FrameBytesAtBitrate(frame.data(), index) - parsed->slotOffset < needed) ++index;
    if (index >= 15) return false;
    std::vector<std::uint8_t> larger(static_cast<std::size_t>(Mp3FrameBytesAtBitrate(frame.data(), index)), 0);
    std::copy_n(frame.begin(), parsed->slotOffset + used, larger.begin());
    larger[2] = static_cast<std::uint8_t>((frame[2] & 0x0D) | index << 4);  // no padding slot
    frame = std::move(larger);
  }
  std::copy(reservoir.begin(), reservoir.end(), frame.end() - static_cast<std::ptrdiff_t>(reservoir.size()));
  return true;
}

void FrameCopyWriter::Put(const std::uint8_t* bytes, std::size_t size, std::int64_t frames) {
  errno = 0;
  if (std::fwrite(bytes, 1, size, file_.get()) != size) Fail();
  crc_ = crcTable_.Update(crc_, bytes, size);
  written_ += static_cast<std::int64_t>(size);
  rawFrames_ += frames;
}

// Copies the run chunk by chunk; false when `keepGoing` stopped it (the
// frames copied until then stay).
bool FrameCopyWriter::CopyWindow(const Window& w) {
  const CopyRange& r = ranges_[static_cast<std::size_t>(w.row)];
  const std::vector<Mp3Frame>& frames = r.stream->frames;
  for (std::int64_t k = w.a; k < w.b;) {
    const std::int64_t end = std::min(w.b, k + kFramesPerChunk);
    const Mp3Frame& first = frames[static_cast<std::size_t>(k)];
    const Mp3Frame& lastFrame = frames[static_cast<std::size_t>(end - 1)];
    for (std::int64_t j = k; j < end; ++j) {
      const Mp3Frame& f = frames[static_cast<std::size_t>(j)];
      offsets_.push_back(written_ + (f.offset - first.offset));
      ++bitrates_[r.bytes[f.offset + 2] >> 4];
    }
    // Frames of a run lie back to back in the source.
    Put(r.bytes + first.offset, static_cast<std::size_t>(lastFrame.offset + lastFrame.size - first.offset), end - k);
    outcome_.copiedFrames += end - k;
    k = end;
    if (keepGoing_ && !keepGoing_(std::min(1.0, double(rawFrames_) / double(plannedFrames_)))) return false;
  }
  return true;
}

void FrameCopyWriter::Finish(std::int64_t decoded) {
  const std::int64_t delay = frontSkip_ - kDecoderDelay;
  const std::int64_t padding = rawFrames_ * n_ - delay - decoded;
  if (delay < 0 || delay > kMaxTagField || padding < kDecoderDelay || padding > kMaxTagField)
    throw Error::Failed(kWrite, path_, "the copied frames do not fit the tag's delay and padding");
  const Mp3Frame& firstFrame = StreamOf(0).frames.front();
  const std::uint8_t* header = ranges_[0].bytes + firstFrame.offset;
  TagFrameFacts facts;
  facts.variableBitrate = bitrates_.size() > 1;
  std::int64_t kbpsSum = 0;
  for (const auto& [index, count] : bitrates_) kbpsSum += count * (Mp3FrameBytesAtBitrate(header, index));
  facts.bitrateKbps = rawFrames_ > 0 ? static_cast<int>(kbpsSum * 8 * encoding_.sampleRate / n_ / 1000 / rawFrames_) : 0;
  facts.audioFrames = rawFrames_;
  facts.streamBytes = written_;
  facts.frameOffsets = offsets_;
  facts.delay = static_cast<int>(delay);
  facts.padding = static_cast<int>(padding);
  facts.musicCrc = crc_;
  const std::vector<std::uint8_t> tag = BuildTagFrame(header, facts);
  errno = 0;
  if (std::fseek(file_.get(), 0, SEEK_SET) != 0 || std::fwrite(tag.data(), 1, tag.size(), file_.get()) != tag.size())
    Fail();
  errno = 0;
  if (std::fclose(file_.release()) != 0) Fail();
  outcome_.decodedFrames = decoded;
}

CopyOutcome FrameCopyWriter::Run() {
  if (ranges_.empty()) throw Error::Failed(kWrite, path_, "there is nothing to copy");
  const Mp3Stream& first = StreamOf(0);
  for (const CopyRange& r : ranges_) {
    if (r.stream->frames.empty() || r.stream->sampleRate != first.sampleRate ||
        r.stream->channels != first.channels || r.begin < 0 || r.end < r.begin)
      throw Error::Failed(kWrite, path_, "the sources' frames cannot be joined without re-encoding");
  }
  n_ = first.samplesPerFrame;
  encoderDelay_ = kLameEncoderDelay;  // every edge encode checks it
  Plan();

  const std::uint8_t* header = ranges_[0].bytes + first.frames.front().offset;
  const int tagBytes = TagFrameBytes(header);
  if (tagBytes == 0) throw Error::Failed(kWrite, path_, "no frame of this format holds the tag");
  errno = 0;
  file_.reset(std::fopen(path_.c_str(), "wb"));
  if (!file_) Fail();
  const std::vector<std::uint8_t> placeholder(static_cast<std::size_t>(tagBytes), 0);
  errno = 0;
  if (std::fwrite(placeholder.data(), 1, placeholder.size(), file_.get()) != placeholder.size()) Fail();
  written_ = tagBytes;

  auto putEncoded = [this](const std::vector<std::vector<std::uint8_t>>& frames) {
    for (const auto& frame : frames) {
      offsets_.push_back(written_);
      ++bitrates_[frame[2] >> 4];
      PutFrame(frame);
    }
  };

  std::int64_t doneUpTo = 0;  // decoded output position reached
  bool anythingBefore = false;
  for (std::size_t j = 0; j < windows_.size(); ++j) {
    Window w = windows_[j];
    if (j > 0 || !startsWithCopy_) {  // the file's own start needs no frames before it
      std::optional<std::vector<std::vector<std::uint8_t>>> gap;
      for (int shift = 0; shift < kMaxWindowShifts && w.a < w.b; ++shift, ++w.a) {
        const std::int64_t start = OutputPosition(w.row, w.a);
        if (anythingBefore && start == doneUpTo) continue;  // a joint needs one re-encoded frame at least
        if (!Detail(w.row, w.a).startsLong) continue;
        std::vector<std::vector<std::uint8_t>> frames = EncodeGap(doneUpTo, start, !anythingBefore, false);
        const std::optional<std::vector<std::uint8_t>> reservoir = ReservoirFor(w);
        if (!frames.empty() && reservoir && Bridge(frames.back(), *reservoir)) {
          gap = std::move(frames);
          break;
        }
        outcome_.encodedFrames -= static_cast<std::int64_t>(frames.size());
      }
      if (!gap) continue;  // the run could not be bridged: it is re-encoded with the next gap
      putEncoded(*gap);
    }
    if (!CopyWindow(w)) {
      Finish(std::max<std::int64_t>(0, rawFrames_ * n_ - frontSkip_));
      outcome_.stopped = true;
      return outcome_;
    }
    doneUpTo = OutputPosition(w.row, w.b);
    anythingBefore = true;
  }
  if (doneUpTo < total_ || !anythingBefore) putEncoded(EncodeGap(doneUpTo, total_, !anythingBefore, true));
  Finish(total_);
  return outcome_;
}

}  // namespace

bool HoldsWholeFrame(const Mp3Stream& stream, std::int64_t begin, std::int64_t end) {
  const std::int64_t n = stream.samplesPerFrame;
  return FloorDiv(end + stream.frontSkip, n) - CeilDiv(begin + stream.frontSkip, n) >= 1;
}

CopyOutcome WriteFrameCopy(const std::vector<CopyRange>& ranges, const PcmSource& pcm, const EdgeEncoding& encoding,
                           const std::string& path, const std::function<bool(double)>& keepGoing) {
  return FrameCopyWriter(ranges, pcm, encoding, path, keepGoing).Run();
}

}  // namespace snipwave::mp3copy
