#include "FrameCopy.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <limits>
#include <map>
#include <memory>
#include <optional>

#include "GlobalGain.h"
#include "ReservoirLayout.h"
#include "TagFrame.h"
#include "components/audio/Mp3InfoTag.h"
#include "platform/Error.h"

namespace snipwave::mp3copy {

namespace {

constexpr std::int64_t kDecoderDelay = audio::kMp3DecoderDelay;
constexpr std::int64_t kMaxTagField = 4095;  // delay and padding have 12 bits each
constexpr std::int64_t kMaxReservoirReach = 512;
constexpr std::int64_t kFramesPerChunk = 256;   // copied between progress reports
constexpr std::int64_t kFeedFrames = 64;        // frames of sound given to a re-encode at once
constexpr std::int64_t kMaxWindowShifts = 8;    // later starts tried for a copied run
constexpr std::int64_t kLeadFrames = 8;         // re-encoded frames that may hold a run's reservoir bytes
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

// Thrown inside the writer when a source's bytes or samples run out before
// its frames do: the source has become shorter since its layout was read.
struct SourceEnded {};

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
        ranges_.back().reencodeTail = r.reencodeTail;
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
  // A re-encode of the output from some point on, frame by frame. Its
  // frames lie on the output's frame grid: frame f decodes output samples
  // [base + f * n, base + (f + 1) * n). Frames wait in `held` until no
  // later choice can change them; the ones before are in the file.
  struct Gap {
    std::unique_ptr<EdgeEncoder> encoder;
    std::int64_t base = 0;
    std::int64_t fed = 0;     // output position of the next sample the encoder gets
    std::int64_t skip = 0;    // encoder frames still to drop: the lead-in's
    bool fadeOut = true;      // what follows the end: see Timeline
    bool standalone = false;  // no copied frame next to it
    std::int64_t firstHeld = 0;
    std::deque<FrameBytes> held;
  };

  const Mp3Stream& StreamOf(int row) const { return *ranges_[static_cast<std::size_t>(row)].stream; }
  void ReadSource(int row, std::int64_t offset, std::uint8_t* out, std::size_t size) const {
    if (ranges_[static_cast<std::size_t>(row)].read(offset, out, size) != size) throw SourceEnded{};
  }
  // Frame `k` of range `row` with its side information read.
  Mp3Frame Detail(int row, std::int64_t k) const {
    const Mp3Frame& f = StreamOf(row).frames[static_cast<std::size_t>(k)];
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(f.size));
    ReadSource(row, f.offset, bytes.data(), bytes.size());
    return ParseMp3Frame(bytes.data(), bytes.size(), f.offset).value_or(f);
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
  void OpenGap(std::int64_t from, bool first, bool standalone);
  void FeedGap(std::int64_t samples);
  // Encodes until the gap has `count` frames; frames before `settled` go to the file.
  void GapFrames(std::int64_t count, std::int64_t settled);
  void WriteHeld(std::int64_t below);
  bool BridgeInto(Window& w);
  std::vector<FrameBytes> LighterFrames(std::int64_t from, std::int64_t count);
  void EncodeTail();
  std::optional<std::vector<std::uint8_t>> ReservoirFor(const Window& w) const;
  void NoteReencoded(const Window& w, CopyOutcome::ReencodedRun::Why why);
  void Put(const std::uint8_t* bytes, std::size_t size, std::int64_t frames);
  void PutEncoded(const FrameBytes& frame);
  bool CopyWindow(const Window& w);
  void Copy();
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
  std::optional<Gap> gap_;
  CopyOutcome outcome_;
  std::array<std::uint8_t, 4> header_{};   // the first source frame's header: the output's format

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
    Window w{row, std::max<std::int64_t>(0, CeilDiv(r.begin + r.reencodeHead + s.frontSkip, n_)),
             std::min(frames, FloorDiv(r.end - r.reencodeTail + s.frontSkip, n_))};
    // The file's own start and end may be copied with the frames around
    // them: what lies outside the range there is the source's own delay and
    // padding, which the tag trims again.
    if (row == 0 && r.begin == 0 && r.reencodeHead == 0 && s.frontSkip >= kDecoderDelay && s.frontSkip - kDecoderDelay <= kMaxTagField &&
        !s.frames.empty() && Detail(row, 0).mainDataBegin == 0) {
      w.a = 0;
      startsWithCopy_ = true;
    }
    const std::int64_t padding = frames * n_ - s.frontSkip - r.end + kDecoderDelay;
    if (row == rows - 1 && r.end == s.length && r.reencodeTail == 0 && padding >= kDecoderDelay && padding <= kMaxTagField) w.b = frames;
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
    const Window whole = w;
    while (!openStart && w.a < w.b && !Detail(w.row, w.a).startsLong) ++w.a;
    while (!openEnd && w.a < w.b && !Detail(w.row, w.b - 1).endsLong) --w.b;
    // A few frames at an edge are part of the edge; more are said.
    const auto why = CopyOutcome::ReencodedRun::Why::ShortBlocks;
    if (w.a >= w.b) {
      NoteReencoded({whole.row, whole.a, whole.b}, why);
      continue;
    }
    if (w.a - whole.a > kMaxWindowShifts) NoteReencoded({w.row, whole.a, w.a}, why);
    if (whole.b - w.b > kMaxWindowShifts) NoteReencoded({w.row, w.b, whole.b}, why);
    windows_.push_back(w);
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
    if (part.size() < want) throw SourceEnded{};  // the range lies inside the source as it was read
    std::copy_n(part.begin(), want,
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

// A re-encode of the output from `from` on. The encoder is given the sound
// before as well (at least a frame of it, silence at the file's start), so
// that its first kept frame overlaps a copied neighbour as the source's own
// frames did; it runs on past every frame it is asked for, for the same
// reason at the far end.
void FrameCopyWriter::OpenGap(std::int64_t from, bool first, bool standalone) {
  const std::int64_t decodedAt = encoderDelay_ + kDecoderDelay;  // raw position of encoder input sample 0
  Gap gap;
  std::int64_t lead = 0;
  if (first) {
    lead = frontSkip_ - decodedAt;  // silence ahead, as any encode starts
  } else {
    gap.skip = CeilDiv(1152 + decodedAt, n_);
    lead = gap.skip * n_ - decodedAt;
  }
  gap.fed = from - lead;
  gap.base = gap.fed - decodedAt + gap.skip * n_;
  gap.standalone = standalone;
  gap.fadeOut = !standalone;
  // Only frames that meet copied ones need to stand alone with long windows.
  gap.encoder = std::make_unique<EdgeEncoder>(encoding_, !standalone, path_);
  if (gap.encoder->Delay() != encoderDelay_)
    throw Error::Failed(kWrite, path_, "the encoder did not deliver the frames the edges need");
  gap_ = std::move(gap);
}

void FrameCopyWriter::FeedGap(std::int64_t samples) {
  Gap& gap = *gap_;
  std::vector<FrameBytes> fresh;
  if (samples > 0) {
    gap.encoder->Encode(Timeline(gap.fed, gap.fed + samples, gap.fadeOut), fresh);
    gap.fed += samples;
  } else {
    gap.encoder->Flush(fresh);
  }
  for (FrameBytes& frame : fresh) {
    if (gap.skip > 0) {
      --gap.skip;
      continue;
    }
    const std::optional<Mp3Frame> parsed = ParseMp3Frame(frame.data(), frame.size(), 0);
    if (!parsed || (!gap.standalone && parsed->mainDataBegin != 0) || (frame[1] & 1) == 0)
      throw Error::Failed(kWrite, path_, "the encoder wrote a frame that depends on others");
    gap.held.push_back(std::move(frame));
  }
}

void FrameCopyWriter::GapFrames(std::int64_t count, std::int64_t settled) {
  Gap& gap = *gap_;
  // The encoder gives a frame out once it has seen its delay and a frame
  // or two past it.
  const std::int64_t needed = gap.base + (count + 2) * n_ + encoderDelay_ + kDecoderDelay;
  while (gap.firstHeld + static_cast<std::int64_t>(gap.held.size()) < count) {
    if (gap.fed > needed + 8 * n_)
      throw Error::Failed(kWrite, path_, "the encoder did not deliver the frames the edges need");
    FeedGap(std::clamp(needed - gap.fed, n_, kFeedFrames * n_));
    WriteHeld(settled);
  }
  WriteHeld(settled);
}

void FrameCopyWriter::WriteHeld(std::int64_t below) {
  Gap& gap = *gap_;
  while (!gap.held.empty() && gap.firstHeld < below) {
    PutEncoded(gap.held.front());
    gap.held.pop_front();
    ++gap.firstHeld;
  }
}

// Ends the open gap with frames that lead into run `w`, whose start may move
// a few frames on: its first frames take bytes from the bit reservoir before
// them, and the gap's last frames must hold those bytes at the end of their
// slots. False when no start works; the gap then stays open and goes on
// through the run.
bool FrameCopyWriter::BridgeInto(Window& w) {
  Gap& gap = *gap_;
  for (std::int64_t a = w.a; a < std::min(w.b, w.a + kMaxWindowShifts); ++a) {
    const std::int64_t count = (OutputPosition(w.row, a) - gap.base) / n_;
    if (count < 1) continue;  // a joint needs one re-encoded frame at least
    if (!Detail(w.row, a).startsLong) continue;
    const std::optional<std::vector<std::uint8_t>> reservoir = ReservoirFor({w.row, a, w.b});
    if (!reservoir) continue;
    GapFrames(count, count - kLeadFrames);
    std::vector<FrameBytes> lead(gap.held.begin(), gap.held.begin() + (count - gap.firstHeld));
    // Frames that fill their slots (a constant 320 kbit/s) leave no room:
    // the lead frames are made again with fewer bits.
    if (!LeadInto(lead, *reservoir) &&
        !LeadInto(lead = LighterFrames(gap.base + gap.firstHeld * n_, count - gap.firstHeld), *reservoir))
      continue;
    for (const FrameBytes& frame : lead) PutEncoded(frame);
    gap_.reset();
    w.a = a;
    return true;
  }
  return false;
}

// `count` frames on the output's grid from output sample `from` on, encoded
// apart from the gap with fewer bits than the source has (a lower bit rate,
// a lower VBR quality), so that they have room to spare in their slots.
std::vector<FrameBytes> FrameCopyWriter::LighterFrames(std::int64_t from, std::int64_t count) {
  EdgeEncoding lighter = encoding_;
  lighter.kbps = encoding_.kbps * 3 / 4;
  lighter.vbrQuality = std::min(9, encoding_.vbrQuality + 3);
  EdgeEncoder encoder(lighter, true, path_);
  const std::int64_t decodedAt = encoder.Delay() + kDecoderDelay;
  const std::int64_t skip = CeilDiv(1152 + decodedAt, n_);  // at least 1152 samples of lead-in
  const std::int64_t start = from - (skip * n_ - decodedAt);
  std::vector<FrameBytes> frames;
  encoder.Encode(Timeline(start, from + (count + 2) * n_ + decodedAt, true), frames);
  encoder.Flush(frames);
  if (static_cast<std::int64_t>(frames.size()) < skip + count)
    throw Error::Failed(kWrite, path_, "the encoder did not deliver the frames the edges need");
  frames.erase(frames.begin() + skip + count, frames.end());
  frames.erase(frames.begin(), frames.begin() + skip);
  for (const FrameBytes& frame : frames) {
    const std::optional<Mp3Frame> parsed = ParseMp3Frame(frame.data(), frame.size(), 0);
    if (!parsed || parsed->mainDataBegin != 0 || (frame[1] & 1) == 0)
      throw Error::Failed(kWrite, path_, "the encoder wrote a frame that depends on others");
  }
  return frames;
}

// The rest of the output after the last copied run, to the end.
void FrameCopyWriter::EncodeTail() {
  Gap& gap = *gap_;
  const std::int64_t count = CeilDiv(total_ - gap.base, n_);
  const std::int64_t end = total_ + 2 * n_ + encoderDelay_ + kDecoderDelay;
  while (gap.fed < end) {
    FeedGap(std::min(kFeedFrames * n_, end - gap.fed));
    WriteHeld(count);
  }
  FeedGap(0);
  if (gap.firstHeld + static_cast<std::int64_t>(gap.held.size()) < count)
    throw Error::Failed(kWrite, path_, "the encoder did not deliver the frames the edges need");
  WriteHeld(count);
  gap_.reset();
}

// The main-data bytes that the run's first frames take from before the run
// (the bit reservoir), in stream order; nullopt when the source lacks them.
std::optional<std::vector<std::uint8_t>> FrameCopyWriter::ReservoirFor(const Window& w) const {
  const std::vector<Mp3Frame>& frames = StreamOf(w.row).frames;
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
    ReadSource(w.row, f.offset + f.size - take, bytes.data() + (missing - take), static_cast<std::size_t>(take));
    missing -= take;
  }
  if (missing > 0) return std::nullopt;
  return bytes;
}

void FrameCopyWriter::NoteReencoded(const Window& w, CopyOutcome::ReencodedRun::Why why) {
  const CopyRange& r = ranges_[static_cast<std::size_t>(w.row)];
  const auto sourceSample = [&](std::int64_t frame) {
    return std::clamp(frame * n_ - r.stream->frontSkip, r.begin, r.end);
  };
  outcome_.reencodedRuns.push_back({rowOf_[static_cast<std::size_t>(w.row)], sourceSample(w.a), sourceSample(w.b), why});
}

void FrameCopyWriter::Put(const std::uint8_t* bytes, std::size_t size, std::int64_t frames) {
  errno = 0;
  if (std::fwrite(bytes, 1, size, file_.get()) != size) Fail();
  crc_ = crcTable_.Update(crc_, bytes, size);
  written_ += static_cast<std::int64_t>(size);
  rawFrames_ += frames;
}

void FrameCopyWriter::PutEncoded(const FrameBytes& frame) {
  offsets_.push_back(written_);
  ++bitrates_[frame[2] >> 4];
  Put(frame.data(), frame.size(), 1);
  ++outcome_.encodedFrames;
}

// Copies the run chunk by chunk; false when `keepGoing` stopped it (the
// frames copied until then stay).
bool FrameCopyWriter::CopyWindow(const Window& w) {
  const std::vector<Mp3Frame>& frames = StreamOf(w.row).frames;
  std::vector<std::uint8_t> chunk;
  for (std::int64_t k = w.a; k < w.b;) {
    const std::int64_t end = std::min(w.b, k + kFramesPerChunk);
    const Mp3Frame& first = frames[static_cast<std::size_t>(k)];
    const Mp3Frame& lastFrame = frames[static_cast<std::size_t>(end - 1)];
    // Frames of a run lie back to back in the source.
    chunk.resize(static_cast<std::size_t>(lastFrame.offset + lastFrame.size - first.offset));
    const std::size_t got = ranges_[static_cast<std::size_t>(w.row)].read(first.offset, chunk.data(), chunk.size());
    std::int64_t whole = k;  // the frames the bytes read hold
    while (whole < end && frames[static_cast<std::size_t>(whole)].offset +
                                  frames[static_cast<std::size_t>(whole)].size - first.offset <=
                              static_cast<std::int64_t>(got))
      ++whole;
    const int gainSteps = ranges_[static_cast<std::size_t>(w.row)].gainSteps;
    for (std::int64_t j = k; j < whole; ++j) {
      const Mp3Frame& f = frames[static_cast<std::size_t>(j)];
      if (gainSteps != 0 && !AddGlobalGain(chunk.data() + (f.offset - first.offset), static_cast<std::size_t>(f.size),
                                           gainSteps))
        throw Error::Failed(kWrite, path_, "a frame's global gain cannot take the gain");
      offsets_.push_back(written_ + (f.offset - first.offset));
      ++bitrates_[chunk[static_cast<std::size_t>(f.offset - first.offset) + 2] >> 4];
    }
    if (whole > k) {
      const Mp3Frame& f = frames[static_cast<std::size_t>(whole - 1)];
      Put(chunk.data(), static_cast<std::size_t>(f.offset + f.size - first.offset), whole - k);
    }
    outcome_.copiedFrames += whole - k;
    if (whole < end) throw SourceEnded{};
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
  TagFrameFacts facts;
  facts.variableBitrate = bitrates_.size() > 1;
  std::int64_t kbpsSum = 0;
  for (const auto& [index, count] : bitrates_) kbpsSum += count * (Mp3FrameBytesAtBitrate(header_.data(), index));
  facts.bitrateKbps = rawFrames_ > 0 ? static_cast<int>(kbpsSum * 8 * encoding_.sampleRate / n_ / 1000 / rawFrames_) : 0;
  facts.audioFrames = rawFrames_;
  facts.streamBytes = written_;
  facts.frameOffsets = offsets_;
  facts.delay = static_cast<int>(delay);
  facts.padding = static_cast<int>(padding);
  facts.musicCrc = crc_;
  const std::vector<std::uint8_t> tag = BuildTagFrame(header_.data(), facts);
  errno = 0;
  if (std::fseek(file_.get(), 0, SEEK_SET) != 0 || std::fwrite(tag.data(), 1, tag.size(), file_.get()) != tag.size())
    Fail();
  errno = 0;
  if (std::fclose(file_.release()) != 0) Fail();
  outcome_.decodedFrames = decoded;
}

// Copied runs with re-encoded frames before, between and after them. A run
// that no re-encoded frame can lead into is re-encoded with the gap around
// it, and said so.
void FrameCopyWriter::Copy() {
  std::int64_t doneUpTo = 0;  // decoded output position reached
  bool anythingBefore = false;
  for (std::size_t j = 0; j < windows_.size(); ++j) {
    Window w = windows_[j];
    if (j > 0 || !startsWithCopy_) {  // the file's own start needs no frames before it
      if (!gap_) OpenGap(doneUpTo, !anythingBefore, false);
      if (!BridgeInto(w)) {
        NoteReencoded(w, CopyOutcome::ReencodedRun::Why::NoLeadIn);
        continue;
      }
    }
    if (!CopyWindow(w)) {
      Finish(std::max<std::int64_t>(0, rawFrames_ * n_ - frontSkip_));
      outcome_.stopped = true;
      return;
    }
    doneUpTo = OutputPosition(w.row, w.b);
    anythingBefore = true;
  }
  if (gap_ || doneUpTo < total_ || !anythingBefore) {
    if (!gap_) OpenGap(doneUpTo, !anythingBefore, windows_.empty());
    EncodeTail();
  }
  Finish(total_);
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
  try {
    Plan();
    ReadSource(0, first.frames.front().offset, header_.data(), header_.size());
  } catch (const SourceEnded&) {
    throw Error::Failed(kWrite, path_, "its source became shorter before its frames were read");
  }

  const int tagBytes = TagFrameBytes(header_.data());
  if (tagBytes == 0) throw Error::Failed(kWrite, path_, "no frame of this format holds the tag");
  errno = 0;
  file_.reset(std::fopen(path_.c_str(), "wb"));
  if (!file_) Fail();
  const std::vector<std::uint8_t> placeholder(static_cast<std::size_t>(tagBytes), 0);
  errno = 0;
  if (std::fwrite(placeholder.data(), 1, placeholder.size(), file_.get()) != placeholder.size()) Fail();
  written_ = tagBytes;

  try {
    Copy();
  } catch (const SourceEnded&) {
    // What was made before the source ran out is kept: the frames waiting
    // in a re-encode are whole frames of the output too.
    if (gap_) WriteHeld(std::numeric_limits<std::int64_t>::max());
    gap_.reset();
    if (rawFrames_ == 0) throw Error::Failed(kWrite, path_, "its source became shorter before a frame was written");
    Finish(std::clamp<std::int64_t>(rawFrames_ * n_ - frontSkip_, 0, total_));
    outcome_.sourceEnded = true;
  }
  if (outcome_.stopped || outcome_.sourceEnded) {
    // Stretches that the shortened file does not reach were not re-encoded either.
    auto& runs = outcome_.reencodedRuns;
    runs.erase(std::remove_if(runs.begin(), runs.end(),
                              [this](const CopyOutcome::ReencodedRun& run) {
                                const auto i = static_cast<std::size_t>(
                                    std::find(rowOf_.begin(), rowOf_.end(), run.row) - rowOf_.begin());
                                return starts_[i] + (run.begin - ranges_[i].begin) >= outcome_.decodedFrames;
                              }),
               runs.end());
  }
  return outcome_;
}

}  // namespace

ByteReader BytesInMemory(const std::uint8_t* data, std::size_t size) {
  return [data, size](std::int64_t offset, std::uint8_t* out, std::size_t count) -> std::size_t {
    if (offset < 0 || static_cast<std::size_t>(offset) >= size) return 0;
    const std::size_t n = std::min(count, size - static_cast<std::size_t>(offset));
    std::memcpy(out, data + offset, n);
    return n;
  };
}

bool HoldsWholeFrame(const Mp3Stream& stream, std::int64_t begin, std::int64_t end) {
  const std::int64_t n = stream.samplesPerFrame;
  return FloorDiv(end + stream.frontSkip, n) - CeilDiv(begin + stream.frontSkip, n) >= 1;
}

CopyOutcome WriteFrameCopy(const std::vector<CopyRange>& ranges, const PcmSource& pcm, const EdgeEncoding& encoding,
                           const std::string& path, const std::function<bool(double)>& keepGoing) {
  return FrameCopyWriter(ranges, pcm, encoding, path, keepGoing).Run();
}

}  // namespace snipwave::mp3copy
