#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <optional>
#include <string>

#include <QFile>

#include "MovieBox.h"
#include "Mp4Copy.h"
#include "Mp4Track.h"
#include "PacketCheck.h"
#include "components/audio/UniqueFd.h"
#include "platform/Error.h"

namespace snipwave::mp4copy {
namespace {

// Bytes read from a source and written to the output at a time.
constexpr std::size_t kIoBytes = 1 << 20;

// The copied packets: source packets [first, last), of which `first` may be
// the pre-roll packet ahead of the range.
struct Segment {
  const Mp4CopySource* source = nullptr;
  std::int64_t first = 0, firstInRange = 0, last = 0;
  std::int64_t trailer = -1;   // a source packet copied after them, or -1
  std::int64_t mediaTime = 0;  // output media frame of the range's first frame
  std::int64_t duration = 0;   // frames
  std::int64_t Packets() const { return last - first + (trailer >= 0); }
  // The source packet that is output packet `i`.
  std::int64_t SourcePacket(std::int64_t i) const { return first + i < last ? first + i : trailer; }
};

// The ranges as one run of one source's packets; an empty `why` when they
// make one. Ranges that continue one another in one source are one run.
// Several runs would need an edit list of several entries: FFmpeg (5.1)
// trims only the first edit's start and no edit's end inside a packet, so
// such a join would not decode to its ranges.
std::optional<Segment> Plan(const std::vector<CopyRange>& ranges, std::string* why) {
  std::optional<CopyRange> run;
  for (const CopyRange& r : ranges) {
    if (!r.source || r.begin < 0 || r.end > r.source->Length() || r.begin > r.end) {
      *why = "a range lies outside its source";
      return std::nullopt;
    }
    if (r.begin == r.end) continue;
    if (!run) {
      run = r;
    } else if (run->source == r.source && run->end == r.begin) {
      run->end = r.end;
    } else {
      *why = "a join of separate ranges needs an edit list of several entries, which decoders do not trim exactly";
      return std::nullopt;
    }
  }
  if (!run) {
    *why = "the ranges hold no audio";
    return std::nullopt;
  }
  Segment s;
  s.source = run->source;
  const std::int64_t b = run->source->Delay() + run->begin;
  const std::int64_t e = run->source->Delay() + run->end;
  s.firstInRange = b / kFramesPerPacket;
  // The decode of a packet overlaps with the one before it: that packet
  // goes first, its own output edited out.
  s.first = std::max<std::int64_t>(0, s.firstInRange - 1);
  s.last = (e - 1) / kFramesPerPacket + 1;
  s.mediaTime = b - s.first * kFramesPerPacket;
  s.duration = e - b;
  // FFmpeg (5.1) takes the last packet to last as long as the edit: one
  // whose decode holds the edit's start at more than its duration from the
  // packet's start is taken to end before the edit and dropped. A packet
  // after it (its decode edited out) keeps it whole: the next one, or the
  // last again at the source's end.
  if (s.firstInRange == s.last - 1 && b - s.firstInRange * kFramesPerPacket >= s.duration) {
    s.trailer = std::min(s.last, run->source->Packets() - 1);
  }
  return s;
}

// The first `packets` packets of the copy and its edit cut to them.

Written Prefix(const Segment& s, std::int64_t packets) {
  Written w;
  w.packets = packets;
  const auto& sizes = s.source->Track().sizes;
  for (std::int64_t i = 0; i < packets; ++i) w.sizes.push_back(sizes[s.SourcePacket(i)]);
  w.mediaTime = s.mediaTime;
  w.duration = std::max<std::int64_t>(0, std::min(s.mediaTime + s.duration, packets * kFramesPerPacket) - s.mediaTime);
  return w;
}

// The output file: written through a buffer, every failure an Error naming it.
class Output {
 public:
  explicit Output(const QString& path) : path_(path.toStdString()) {
    fd_.reset(::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!fd_) Fail("Cannot create");
  }
  void Write(const std::uint8_t* data, std::size_t size) {
    if (buffer_.size() + size > kIoBytes) Flush();
    buffer_.insert(buffer_.end(), data, data + size);
    if (buffer_.size() >= kIoBytes) Flush();
  }
  // Buffered writes go on from byte `offset`.
  void StartAt(std::uint64_t offset) {
    Flush();
    at_ = offset;
  }
  void Flush() {
    WriteAt(buffer_.data(), buffer_.size(), at_);
    at_ += buffer_.size();
    buffer_.clear();
  }
  void WriteAt(const std::uint8_t* data, std::size_t size, std::uint64_t offset) {
    while (size > 0) {
      const ssize_t n = ::pwrite(fd_.get(), data, size, static_cast<off_t>(offset));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) Fail("Cannot write");
      data += n, size -= static_cast<std::size_t>(n), offset += static_cast<std::uint64_t>(n);
    }
  }
  void Truncate(std::uint64_t size) {
    if (::ftruncate(fd_.get(), static_cast<off_t>(size)) != 0) Fail("Cannot write");
  }
  void Close() {
    Flush();
    if (::close(fd_.release()) != 0) Fail("Cannot write");
  }

 private:
  [[noreturn]] void Fail(const char* operation) const {
    throw Error::Failed(operation, path_, errno ? std::strerror(errno) : "the disk is full");
  }
  std::string path_;
  audio::UniqueFd fd_;
  std::vector<std::uint8_t> buffer_;
  std::uint64_t at_ = 0;
};

// Reads a source's packets, several adjacent ones at a time.
class SourceBytes {
 public:
  const std::uint8_t* Read(const Mp4CopySource& source, std::int64_t offset, std::size_t size) {
    auto& fd = fds_[&source];
    const std::string path = source.Path().toStdString();
    if (!fd) {
      fd.reset(::open(QFile::encodeName(source.Path()).constData(), O_RDONLY | O_CLOEXEC));
      if (!fd) throw Error::Failed("Cannot open", path, std::strerror(errno));
    }
    bytes_.resize(size);
    std::size_t got = 0;
    while (got < size) {
      const ssize_t n = ::pread(fd.get(), bytes_.data() + got, size - got, static_cast<off_t>(offset + got));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) throw Error::Failed("Cannot read", path, std::strerror(errno));
      if (n == 0) throw Error::Failed("Cannot read", path, "the file has become shorter than its sample table");
      got += static_cast<std::size_t>(n);
    }
    return bytes_.data();
  }

 private:
  std::map<const Mp4CopySource*, audio::UniqueFd> fds_;
  std::vector<std::uint8_t> bytes_;
};

// Copies output packets [from, to) of the segment, each one decoded first.
// Returns the end of those copied: `to`, or the first packet the decoder
// rejects (not copied).
std::int64_t CopyPackets(const Segment& s, std::int64_t from, std::int64_t to, SourceBytes& in, Output& out,
                         PacketCheck& check) {
  const Mp4Track& t = s.source->Track();
  for (std::int64_t i = from; i < to;) {
    // Packets adjacent in the source are read together.
    const std::int64_t p = s.SourcePacket(i);
    std::int64_t j = i + 1;
    std::size_t bytes = t.sizes[p];
    for (std::int64_t q = p + 1; j < to && s.SourcePacket(j) == q && t.offsets[q] == t.offsets[q - 1] + t.sizes[q - 1] &&
                                 bytes + t.sizes[q] <= kIoBytes;
         ++j, ++q) {
      bytes += t.sizes[q];
    }
    const std::uint8_t* data = in.Read(*s.source, t.offsets[p], bytes);
    std::size_t good = 0;
    for (std::int64_t k = i; k < j; ++k) {
      const std::uint32_t size = t.sizes[s.SourcePacket(k)];
      if (!check.Decodes(data + good, size)) {
        out.Write(data, good);
        return k;
      }
      good += size;
    }
    out.Write(data, bytes);
    i = j;
  }
  return to;
}

}  // namespace

QString RangesRefusal(const std::vector<CopyRange>& ranges) {
  std::string why;
  Plan(ranges, &why);
  return QString::fromStdString(why);
}

CopyOutcome WriteMp4Copy(const std::vector<CopyRange>& ranges, const QString& outputPath,
                         const std::function<bool(double)>& keepGoing) {
  const std::string path = outputPath.toStdString();
  std::string why;
  const std::optional<Segment> plan = Plan(ranges, &why);
  if (!plan) throw Error::Failed("Cannot write", path, "the packets cannot be copied: " + why);
  const Segment& segment = *plan;
  const Mp4Track& setup = segment.source->Track();
  const std::int64_t total = segment.Packets();
  const Written all = Prefix(segment, total);
  std::uint64_t dataBytes = 0;
  for (std::uint32_t size : all.sizes) dataBytes += size;

  BoxWriter ftyp;
  FileType(ftyp);
  const std::uint64_t head = ftyp.Data().size();
  // The mdat header takes 16 bytes (a 64-bit size) whatever the size, and a
  // free box follows the moov: a stop rewrites both smaller without moving
  // the packets.
  constexpr std::uint64_t kMdatHeader = 16, kFreeBox = 8;
  const std::uint64_t moovSize = Moov(setup, all, 0, false).size();
  const bool co64 = head + moovSize + kFreeBox + kMdatHeader + dataBytes > 0xFFFFFFFFu;
  const std::size_t moovBytes = Moov(setup, all, 0, co64).size();
  const std::uint64_t dataStart = head + moovBytes + kFreeBox + kMdatHeader;

  Output out(outputPath);
  const auto writeHeader = [&](const Written& w, std::uint64_t bytes) {
    std::vector<std::uint8_t> h = ftyp.Data();
    const std::vector<std::uint8_t> moov = Moov(setup, w, dataStart, co64);
    h.insert(h.end(), moov.begin(), moov.end());
    BoxWriter tail;
    tail.U32(static_cast<std::uint32_t>(kFreeBox + moovBytes - moov.size()));
    tail.Type("free");
    tail.Zeros(moovBytes - moov.size());
    tail.U32(1), tail.Type("mdat"), tail.U64(kMdatHeader + bytes);
    h.insert(h.end(), tail.Data().begin(), tail.Data().end());
    out.WriteAt(h.data(), h.size(), 0);
  };
  writeHeader(all, dataBytes);
  out.StartAt(dataStart);
  SourceBytes in;
  PacketCheck check(setup, path);
  CopyOutcome outcome;
  std::int64_t written = 0;
  std::uint64_t writtenBytes = 0;
  while (written < total) {
    if (written > 0 && keepGoing && !keepGoing(static_cast<double>(written) / static_cast<double>(total))) {
      outcome.stopped = true;
      break;
    }
    const std::int64_t to = std::min(total, written + kPacketsPerChunk);
    const std::int64_t copied = CopyPackets(segment, written, to, in, out, check);
    for (std::int64_t p = written; p < copied; ++p) writtenBytes += all.sizes[p];
    written = copied;
    if (copied < to) {
      outcome.damaged = true;
      break;
    }
  }
  out.Flush();
  if (outcome.stopped || outcome.damaged) {
    writeHeader(Prefix(segment, written), writtenBytes);
    out.Truncate(dataStart + writtenBytes);
  }
  out.Close();
  outcome.decodedFrames = Prefix(segment, written).duration;
  outcome.packetsCopied = written;
  const std::int64_t inRange = segment.last - segment.firstInRange;
  outcome.packetsInRanges = std::clamp<std::int64_t>(written - (segment.firstInRange - segment.first), 0, inRange);
  return outcome;
}

}  // namespace snipwave::mp4copy
