#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <optional>
#include <string>

#include <QFile>

#include "BoxWriter.h"
#include "Mp4Copy.h"
#include "Mp4Track.h"
#include "components/audio/M4aGapless.h"
#include "components/audio/UniqueFd.h"
#include "platform/Error.h"

namespace snipwave::mp4copy {
namespace {

// Packets per chunk of the output's sample table: about 1.4 s at 48 kHz,
// the interleave most muxers choose.
constexpr std::int64_t kPacketsPerChunk = 64;
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

// A written prefix of the copy: its first `packets` packets and the edit
// cut to them (duration 0: nothing of the range written yet).
struct Written {
  std::int64_t packets = 0;
  std::vector<std::uint32_t> sizes;
  std::int64_t mediaTime = 0, duration = 0;
};

Written Prefix(const Segment& s, std::int64_t packets) {
  Written w;
  w.packets = packets;
  const auto& sizes = s.source->Track().sizes;
  for (std::int64_t i = 0; i < packets; ++i) w.sizes.push_back(sizes[s.SourcePacket(i)]);
  w.mediaTime = s.mediaTime;
  w.duration = std::max<std::int64_t>(0, std::min(s.mediaTime + s.duration, packets * kFramesPerPacket) - s.mediaTime);
  return w;
}

void Matrix(BoxWriter& b) {
  const std::uint32_t m[9] = {0x10000, 0, 0, 0, 0x10000, 0, 0, 0, 0x40000000};
  for (std::uint32_t v : m) b.U32(v);
}

void Ftyp(BoxWriter& b) {
  b.Open("ftyp");
  b.Type("M4A ");
  b.U32(0x200);
  for (const char* brand : {"M4A ", "isom", "iso2", "mp42"}) b.Type(brand);
  b.Close();
}

// Version 1 fields when a duration needs more than 32 bits.
void Durations(BoxWriter& b, bool wide, std::uint32_t scale, std::uint64_t duration, bool trackId) {
  if (wide) {
    b.U64(0), b.U64(0);
  } else {
    b.U32(0), b.U32(0);
  }
  if (trackId) {
    b.U32(1), b.U32(0);
  } else {
    b.U32(scale);
  }
  if (wide) {
    b.U64(duration);
  } else {
    b.U32(static_cast<std::uint32_t>(duration));
  }
}

void GaplessItem(BoxWriter& b, const std::string& text) {
  b.Open("udta");
  b.OpenFull("meta", 0, 0);
  b.OpenFull("hdlr", 0, 0);
  b.U32(0);
  b.Type("mdir");
  b.Type("appl");
  b.Zeros(9);
  b.Close();
  b.Open("ilst");
  b.Open("----");
  b.OpenFull("mean", 0, 0);
  b.Text("com.apple.iTunes");
  b.Close();
  b.OpenFull("name", 0, 0);
  b.Text("iTunSMPB");
  b.Close();
  b.OpenFull("data", 0, 1);  // UTF-8 text
  b.U32(0);
  b.Text(text.c_str());
  b.Close();
  b.Close();
  b.Close();
  b.Close();
  b.Close();
}

// The moov box for a written prefix whose first packet starts at byte
// `dataStart` of the file.
std::vector<std::uint8_t> Moov(const Mp4Track& setup, const Written& w, std::uint64_t dataStart, bool co64) {
  const auto rate = static_cast<std::uint32_t>(setup.sampleRate);
  const std::uint64_t presented = static_cast<std::uint64_t>(w.duration);
  const std::uint64_t media = static_cast<std::uint64_t>(w.packets * kFramesPerPacket);
  const bool wide = media > 0xFFFFFFFFu;
  BoxWriter b;
  b.Open("moov");
  b.OpenFull("mvhd", wide, 0);
  Durations(b, wide, rate, presented, false);
  b.U32(0x10000), b.U16(0x100), b.Zeros(10);
  Matrix(b);
  b.Zeros(24), b.U32(2);
  b.Close();

  b.Open("trak");
  b.OpenFull("tkhd", wide, 3);  // enabled, in the movie
  Durations(b, wide, rate, presented, true);
  b.Zeros(8), b.U16(0), b.U16(1), b.U16(0x100), b.U16(0);
  Matrix(b);
  b.U32(0), b.U32(0);
  b.Close();
  if (w.duration > 0) {
    b.Open("edts");
    b.OpenFull("elst", wide, 0);
    b.U32(1);
    if (wide) {
      b.U64(presented), b.U64(static_cast<std::uint64_t>(w.mediaTime));
    } else {
      b.U32(static_cast<std::uint32_t>(presented)), b.U32(static_cast<std::uint32_t>(w.mediaTime));
    }
    b.U32(0x10000);
    b.Close();
    b.Close();
  }
  b.Open("mdia");
  b.OpenFull("mdhd", wide, 0);
  Durations(b, wide, rate, media, false);
  b.U16(0x55C4), b.U16(0);  // language "und"
  b.Close();
  b.OpenFull("hdlr", 0, 0);
  b.U32(0), b.Type("soun"), b.Zeros(12), b.Text("SoundHandler"), b.U8(0);
  b.Close();
  b.Open("minf");
  b.OpenFull("smhd", 0, 0);
  b.U32(0);
  b.Close();
  b.Open("dinf");
  b.OpenFull("dref", 0, 0);
  b.U32(1);
  b.OpenFull("url ", 0, 1);  // the data is in this file
  b.Close();
  b.Close();
  b.Close();
  b.Open("stbl");
  b.Bytes(setup.sampleDescription.data(), setup.sampleDescription.size());
  b.OpenFull("stts", 0, 0);
  b.U32(w.packets > 0 ? 1 : 0);
  if (w.packets > 0) b.U32(static_cast<std::uint32_t>(w.packets)), b.U32(kFramesPerPacket);
  b.Close();
  const std::int64_t chunks = (w.packets + kPacketsPerChunk - 1) / kPacketsPerChunk;
  const std::int64_t tail = w.packets - (chunks - 1) * kPacketsPerChunk;
  b.OpenFull("stsc", 0, 0);
  const bool partial = chunks > 0 && tail != kPacketsPerChunk;
  const bool full = chunks > 1 || (chunks == 1 && !partial);
  b.U32(static_cast<std::uint32_t>(full + partial));
  if (full) b.U32(1), b.U32(kPacketsPerChunk), b.U32(1);
  if (partial) b.U32(static_cast<std::uint32_t>(chunks)), b.U32(static_cast<std::uint32_t>(tail)), b.U32(1);
  b.Close();
  b.OpenFull("stsz", 0, 0);
  b.U32(0), b.U32(static_cast<std::uint32_t>(w.packets));
  for (std::uint32_t size : w.sizes) b.U32(size);
  b.Close();
  b.OpenFull(co64 ? "co64" : "stco", 0, 0);
  b.U32(static_cast<std::uint32_t>(chunks));
  std::uint64_t at = dataStart;
  for (std::int64_t p = 0; p < w.packets; ++p) {
    if (p % kPacketsPerChunk == 0) co64 ? b.U64(at) : b.U32(static_cast<std::uint32_t>(at));
    at += w.sizes[p];
  }
  b.Close();
  b.Close();  // stbl
  b.Close();  // minf
  b.Close();  // mdia
  b.Close();  // trak
  if (w.duration > 0) {
    const std::int64_t padding = w.packets * kFramesPerPacket - w.mediaTime - w.duration;
    GaplessItem(b, audio::ItunesGaplessText(w.mediaTime, padding, w.duration));
  }
  b.Close();
  return b.Data();
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

// Copies output packets [from, to) of the segment.
void CopyPackets(const Segment& s, std::int64_t from, std::int64_t to, SourceBytes& in, Output& out) {
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
    out.Write(in.Read(*s.source, t.offsets[p], bytes), bytes);
    i = j;
  }
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
  Ftyp(ftyp);
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
  CopyOutcome outcome;
  std::int64_t written = 0;
  std::uint64_t writtenBytes = 0;
  while (written < total) {
    if (written > 0 && keepGoing && !keepGoing(static_cast<double>(written) / static_cast<double>(total))) {
      outcome.stopped = true;
      break;
    }
    const std::int64_t to = std::min(total, written + kPacketsPerChunk);
    CopyPackets(segment, written, to, in, out);
    for (std::int64_t p = written; p < to; ++p) writtenBytes += all.sizes[p];
    written = to;
  }
  out.Flush();
  if (outcome.stopped) {
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
