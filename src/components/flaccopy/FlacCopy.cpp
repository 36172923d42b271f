#include "FlacCopy.h"

#include <algorithm>
#include <map>

#include "FlacOutput.h"
#include "FlacStream.h"
#include "FrameCodec.h"
#include "SourceBytes.h"
#include "platform/Error.h"

namespace snipwave::flaccopy {

FlacCopySource::FlacCopySource(QString path, std::unique_ptr<FlacStream> stream)
    : path_(std::move(path)), stream_(std::move(stream)) {}

FlacCopySource::~FlacCopySource() = default;

std::unique_ptr<FlacCopySource> FlacCopySource::Open(const QString& path, std::int64_t decodedLength,
                                                     QString* reason) {
  auto stream = ScanFlacStream(path, reason);
  if (!stream) return nullptr;
  if (stream->length != decodedLength) {
    if (reason) *reason = QStringLiteral("its frames do not add up to its length");
    return nullptr;
  }
  return std::unique_ptr<FlacCopySource>(new FlacCopySource(path, std::move(stream)));
}

int FlacCopySource::SampleRate() const { return stream_->info.sampleRate; }
int FlacCopySource::Channels() const { return stream_->info.channels; }
int FlacCopySource::BitsPerSample() const { return stream_->info.bitsPerSample; }
std::int64_t FlacCopySource::Length() const { return stream_->length; }

bool FlacCopySource::SameSetup(const FlacCopySource& other) const {
  return SampleRate() == other.SampleRate() && Channels() == other.Channels() &&
         BitsPerSample() == other.BitsPerSample();
}

namespace {

// One source frame that a range touches, and what of it the output takes.
struct Item {
  std::size_t range = 0;
  std::size_t frame = 0;      // index in the range's source
  std::int64_t from = 0, to = 0;  // source sample frames taken, within the frame
  bool copy = false;          // the whole frame goes out byte for byte
};

// The frames the ranges touch, in output order, each marked for copying when
// the range holds it whole. A stretch to re-encode that would make a block
// shorter than the format allows before the last takes in the frame after it.
std::vector<Item> PlanItems(const std::vector<CopyRange>& ranges) {
  std::vector<Item> items;
  for (std::size_t r = 0; r < ranges.size(); ++r) {
    const FlacStream& s = ranges[r].source->Stream();
    if (ranges[r].begin >= ranges[r].end) continue;
    const std::size_t first = s.FrameAt(ranges[r].begin), last = s.FrameAt(ranges[r].end - 1);
    for (std::size_t i = first; i <= last; ++i) {
      const FlacFrame& f = s.frames[i];
      Item item{r, i, std::max(ranges[r].begin, f.firstSample), std::min(ranges[r].end, f.firstSample + f.blockSize)};
      item.copy = item.from == f.firstSample && item.to == f.firstSample + f.blockSize;
      items.push_back(item);
    }
  }
  for (std::size_t i = 0; i + 1 < items.size(); ++i)
    if (items[i].copy && items[i].to - items[i].from < kMinBlockSize) items[i].copy = false;
  for (std::size_t i = 0; i < items.size();) {
    if (items[i].copy) {
      ++i;
      continue;
    }
    std::size_t j = i;
    std::int64_t run = 0;
    while (j < items.size() && !items[j].copy) run += items[j].to - items[j].from, ++j;
    while (run < kMinBlockSize && j < items.size()) {
      items[j].copy = false;
      run += items[j].to - items[j].from;
      ++j;
      while (j < items.size() && !items[j].copy) run += items[j].to - items[j].from, ++j;
    }
    i = j;
  }
  return items;
}

void CheckRanges(const std::vector<CopyRange>& ranges, const std::string& path) {
  if (ranges.empty()) throw Error::Failed("Copying FLAC frames to", path, "there is nothing to copy");
  for (const CopyRange& r : ranges) {
    if (!r.source) throw Error::Failed("Copying FLAC frames to", path, "a range has no source");
    if (r.begin < 0 || r.end > r.source->Length() || r.begin > r.end)
      throw Error::Failed("Copying FLAC frames to", path, "a range lies outside its source");
    if (!r.source->SameSetup(*ranges.front().source))
      throw Error::Failed("Copying FLAC frames to", path,
                          "the sources differ in rate, channels or bits per sample");
  }
}

// Reads, checks and decodes the frames of one source after the other.
class SourceReader {
 public:
  explicit SourceReader(const FlacCopySource& source)
      : source_(source), path_(source.Path().toStdString()), bytes_(source.Path()),
        decoder_(source.Stream().info, path_) {}

  const FlacCopySource& Source() const { return source_; }

  // The bytes of frame `index` and its parsed header; its samples go to
  // `samples` (replacing what was there). Throws when the file no longer
  // holds the frame Open found there.
  const std::uint8_t* Frame(std::size_t index, FrameHeader* header, Samples& samples) {
    const FlacFrame& f = source_.Stream().frames[index];
    std::size_t n = 0;
    const std::uint8_t* d = bytes_.Bytes(f.offset, static_cast<std::size_t>(f.size), &n);
    const auto h = n == static_cast<std::size_t>(f.size) ? ParseFrameHeader(d, n) : std::nullopt;
    if (!h || h->blockSize != f.blockSize || Crc16(d, n) != 0)
      throw Error::Failed("Copying FLAC frames of", path_, "the file has changed since it was opened");
    samples.clear();
    if (decoder_.Decode(d, n, samples) != f.blockSize)
      throw Error::Failed("Copying FLAC frames of", path_, "a frame decodes to another length than its header says");
    *header = *h;
    return d;
  }

 private:
  const FlacCopySource& source_;
  std::string path_;
  SourceBytes bytes_;
  FrameDecoder decoder_;
};

}  // namespace

CopyOutcome WriteFlacCopy(const std::vector<CopyRange>& ranges, const QString& outputPath,
                          const std::function<bool(double)>& keepGoing, int compressionLevel) {
  const std::string path = outputPath.toStdString();
  CheckRanges(ranges, path);
  const StreamInfo& setup = ranges.front().source->Stream().info;
  const std::vector<Item> items = PlanItems(ranges);
  std::int64_t total = 0;
  for (const Item& item : items) total += item.to - item.from;

  CopyOutcome outcome;
  outcome.packetsInRanges = static_cast<std::int64_t>(items.size());
  FlacOutput out(outputPath, setup);
  std::unique_ptr<SourceReader> reader;
  Samples decoded;
  Samples pending;  // samples of the stretch to re-encode, interleaved
  const auto channels = static_cast<std::size_t>(setup.channels);

  auto flushPending = [&] {
    if (pending.empty()) return;
    const auto count = static_cast<std::int64_t>(pending.size() / channels);
    const auto frames = EncodeFrames(setup, pending.data(), count, compressionLevel, path);
    std::size_t at = 0;
    for (const auto& f : frames) {
      const auto h = ParseFrameHeader(f.data(), f.size());
      if (!h) throw Error::Failed("Encoding the edges of", path, "the FLAC encoder wrote an invalid frame header");
      out.AppendFrame(f.data(), f.size(), *h, pending.data() + at);
      at += static_cast<std::size_t>(h->blockSize) * channels;
    }
    pending.clear();
  };

  for (std::size_t k = 0; k < items.size(); ++k) {
    const Item& item = items[k];
    const FlacCopySource& source = *ranges[item.range].source;
    if (!reader || &reader->Source() != &source) reader = std::make_unique<SourceReader>(source);
    FrameHeader header;
    const std::uint8_t* bytes = reader->Frame(item.frame, &header, decoded);
    if (item.copy) {
      flushPending();
      out.AppendFrame(bytes, static_cast<std::size_t>(source.Stream().frames[item.frame].size), header, decoded.data());
      ++outcome.packetsCopied;
      const bool lastItem = k + 1 == items.size();
      if (!lastItem && keepGoing && !keepGoing(static_cast<double>(out.Samples()) / static_cast<double>(total))) {
        outcome.stopped = true;
        break;
      }
    } else {
      const std::int64_t first = source.Stream().frames[item.frame].firstSample;
      pending.insert(pending.end(), decoded.begin() + static_cast<std::ptrdiff_t>((item.from - first) * setup.channels),
                     decoded.begin() + static_cast<std::ptrdiff_t>((item.to - first) * setup.channels));
    }
  }
  if (!outcome.stopped) flushPending();
  out.Finish();
  outcome.decodedFrames = out.Samples();
  if (!outcome.stopped && keepGoing) keepGoing(1.0);
  return outcome;
}

}  // namespace snipwave::flaccopy
