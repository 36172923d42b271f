#include "FlacCopy.h"

#include <algorithm>
#include <future>

#include "CopyPlan.h"
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
constexpr std::size_t kBatchFrames = 64;      // frames read, then decoded, together

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

// The next frames the ranges touch in one source, read together and
// decoded on another thread while the batch before them is written.
struct Batch {
  const FlacCopySource* source = nullptr;
  std::size_t first = 0, end = 0;  // items [first, end)
  std::vector<ReadFrame> frames;   // one per item
};

// Reads and checks the frames of one source and decodes them.
class SourceReader {
 public:
  explicit SourceReader(const FlacCopySource& source)
      : source_(source), path_(source.Path().toStdString()), bytes_(source.Path()),
        decoder_(source.Stream().info, path_) {}

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

  // Decodes the frames of `batch` (one thread at a time).
  void Decode(Batch& batch) {
    for (std::size_t i = 0; i < batch.end - batch.first; ++i) {
      ReadFrame& f = batch.frames[i];
      f.pcm.clear();
      if (decoder_.Decode(f.bytes.data(), f.bytes.size(), f.pcm) != f.header.blockSize)
        throw Error::Failed("Copying FLAC frames of", path_, "a frame decodes to another length than its header says");
    }
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

  // Reads the batch of items from `first` on (empty at the end).
  auto readBatch = [&](std::size_t first, Batch& batch) {
    batch.first = batch.end = first;
    if (first >= items.size()) return;
    batch.source = ranges[items[first].range].source;
    while (batch.end < items.size() && batch.end - first < kBatchFrames &&
           ranges[items[batch.end].range].source == batch.source)
      ++batch.end;
    if (!reader || &reader->Source() != batch.source) reader = std::make_unique<SourceReader>(*batch.source);
    batch.frames.resize(kBatchFrames);
    for (std::size_t i = first; i < batch.end; ++i) reader->Read(items[i].frame, batch.frames[i - first]);
  };

  // Writes a decoded batch; false when keepGoing said stop.
  auto writeBatch = [&](const Batch& batch) {
    for (std::size_t i = batch.first; i < batch.end; ++i) {
      const Item& item = items[i];
      const ReadFrame& frame = batch.frames[i - batch.first];
      if (item.copy) {
        flushPending();
        out.AppendFrame(frame.bytes.data(), frame.bytes.size(), frame.header, frame.pcm.data());
        ++outcome.packetsCopied;
        // Asked every so many frames: a frame is copied in microseconds.
        const bool ask = keepGoing && outcome.packetsCopied % kFramesPerQuestion == 0 && i + 1 < items.size();
        if (ask && !keepGoing(static_cast<double>(out.Samples()) / static_cast<double>(total))) return false;
      } else {
        const std::int64_t first = batch.source->Stream().frames[item.frame].firstSample;
        const auto step = static_cast<std::int64_t>(frameBytes);
        pending.insert(pending.end(), frame.pcm.begin() + static_cast<std::ptrdiff_t>((item.from - first) * step),
                       frame.pcm.begin() + static_cast<std::ptrdiff_t>((item.to - first) * step));
      }
    }
    return true;
  };

  // Decoding (most of a copy's work: the output's MD5 needs every sample) runs
  // one batch ahead on a second thread, while this one reads and writes.
  Batch batches[2];
  Batch* current = &batches[0];
  Batch* next = &batches[1];
  readBatch(0, *current);
  if (current->end > current->first) reader->Decode(*current);
  while (current->end > current->first) {
    readBatch(current->end, *next);
    std::future<void> decoding;
    if (next->end > next->first)
      decoding = std::async(std::launch::async, [r = reader.get(), next] { r->Decode(*next); });
    if (!writeBatch(*current)) {
      outcome.stopped = true;
      break;  // the future waits for the decode it runs
    }
    if (decoding.valid()) decoding.get();
    std::swap(current, next);
  }
  if (!outcome.stopped) flushPending();
  out.Finish();
  outcome.decodedFrames = out.Samples();
  if (!outcome.stopped && keepGoing) keepGoing(1.0);
  return outcome;
}

}  // namespace snipwave::flaccopy
