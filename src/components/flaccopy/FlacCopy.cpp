#include "FlacCopy.h"

#include <algorithm>
#include <future>

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

constexpr int kFramesPerQuestion = 16;       // copied frames between two calls of keepGoing
constexpr std::size_t kBatchFrames = 64;      // frames read and decoded together

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

// A source frame as read for the output: its bytes, header and samples.
struct ReadFrame {
  std::vector<std::uint8_t> bytes;
  FrameHeader header;
  PcmBytes pcm;
};

// Reads and checks the frames of one source, and decodes them on two
// threads: FLAC frames decode independently, and decoding is most of a
// copy's work (the output's MD5 needs every sample).
class SourceReader {
 public:
  explicit SourceReader(const FlacCopySource& source)
      : source_(source), path_(source.Path().toStdString()), bytes_(source.Path()),
        decoders_{FrameDecoder(source.Stream().info, path_), FrameDecoder(source.Stream().info, path_)} {}

  const FlacCopySource& Source() const { return source_; }

  // Reads frame `index` into `out` (bytes and header). Throws when the file
  // no longer holds the frame Open found there.
  void Read(std::size_t index, ReadFrame& out) {
    const FlacFrame& f = source_.Stream().frames[index];
    std::size_t n = 0;
    const std::uint8_t* d = bytes_.Bytes(f.offset, static_cast<std::size_t>(f.size), &n);
    const auto h = n == static_cast<std::size_t>(f.size) ? ParseFrameHeader(d, n) : std::nullopt;
    if (!h || h->blockSize != f.blockSize || Crc16(d, n) != 0)
      throw Error::Failed("Copying FLAC frames of", path_, "the file has changed since it was opened");
    out.bytes.assign(d, d + n);
    out.header = *h;
  }

  // Decodes the frames read into `frames` (the first half on a second thread).
  void Decode(std::vector<ReadFrame>& frames, std::size_t count) {
    const std::size_t half = count / 2;
    auto decodeSome = [&](FrameDecoder& decoder, std::size_t from, std::size_t to) {
      for (std::size_t i = from; i < to; ++i) {
        ReadFrame& f = frames[i];
        f.pcm.clear();
        if (decoder.Decode(f.bytes.data(), f.bytes.size(), f.pcm) != f.header.blockSize)
          throw Error::Failed("Copying FLAC frames of", path_, "a frame decodes to another length than its header says");
      }
    };
    std::future<void> helper;
    if (half > 0) helper = std::async(std::launch::async, decodeSome, std::ref(decoders_[1]), 0, half);
    decodeSome(decoders_[0], half, count);
    if (helper.valid()) helper.get();
  }

 private:
  const FlacCopySource& source_;
  std::string path_;
  SourceBytes bytes_;
  FrameDecoder decoders_[2];
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
  std::vector<ReadFrame> batch(kBatchFrames);
  PcmBytes pending;  // PCM of the stretch to re-encode
  const auto frameBytes = static_cast<std::size_t>(setup.channels) * static_cast<std::size_t>(SampleWidth(setup.bitsPerSample));

  auto flushPending = [&] {
    if (pending.empty()) return;
    const auto count = static_cast<std::int64_t>(pending.size() / frameBytes);
    const auto frames = EncodeFrames(setup, pending.data(), count, compressionLevel, path);
    std::size_t at = 0;
    for (const auto& f : frames) {
      const auto h = ParseFrameHeader(f.data(), f.size());
      if (!h) throw Error::Failed("Encoding the edges of", path, "the FLAC encoder wrote an invalid frame header");
      out.AppendFrame(f.data(), f.size(), *h, pending.data() + at);
      at += static_cast<std::size_t>(h->blockSize) * frameBytes;
    }
    pending.clear();
  };

  for (std::size_t k = 0; k < items.size() && !outcome.stopped;) {
    // A batch: the next frames of one source, read, then decoded together.
    const FlacCopySource& source = *ranges[items[k].range].source;
    std::size_t end = k;
    while (end < items.size() && end - k < kBatchFrames && ranges[items[end].range].source == &source) ++end;
    if (!reader || &reader->Source() != &source) reader = std::make_unique<SourceReader>(source);
    for (std::size_t i = k; i < end; ++i) reader->Read(items[i].frame, batch[i - k]);
    reader->Decode(batch, end - k);

    for (std::size_t i = k; i < end; ++i) {
      const Item& item = items[i];
      const ReadFrame& frame = batch[i - k];
      if (item.copy) {
        flushPending();
        out.AppendFrame(frame.bytes.data(), frame.bytes.size(), frame.header, frame.pcm.data());
        ++outcome.packetsCopied;
        // Asked every so many frames: a frame is copied in microseconds.
        const bool ask = keepGoing && outcome.packetsCopied % kFramesPerQuestion == 0 && i + 1 < items.size();
        if (ask && !keepGoing(static_cast<double>(out.Samples()) / static_cast<double>(total))) {
          outcome.stopped = true;
          break;
        }
      } else {
        const std::int64_t first = source.Stream().frames[item.frame].firstSample;
        const auto step = static_cast<std::int64_t>(frameBytes);
        pending.insert(pending.end(), frame.pcm.begin() + static_cast<std::ptrdiff_t>((item.from - first) * step),
                       frame.pcm.begin() + static_cast<std::ptrdiff_t>((item.to - first) * step));
      }
    }
    k = end;
  }
  if (!outcome.stopped) flushPending();
  out.Finish();
  outcome.decodedFrames = out.Samples();
  if (!outcome.stopped && keepGoing) keepGoing(1.0);
  return outcome;
}

}  // namespace snipwave::flaccopy
