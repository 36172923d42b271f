#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "convert/OutputConfiguration.h"

namespace snipwave {

// The packet copy ("Keep the frames") of the formats after MP3: Ogg Vorbis
// into OGG, Ogg Opus into OPUS, AAC in MP4 into M4A and FLAC into FLAC. The
// source's compressed packets are copied byte for byte and the container
// records which of their decoded frames the output holds. Positions are the
// audio reader's sample frames of each source.

// True for the output types whose packets can be copied (Ogg, Opus, M4a, Flac).
bool CopiesPackets(OutputType type);
// The settings section whose "lossless" flag keeps the frames of `type`
// ("ogg", "opus", "m4a", "flac"; and "alac": an ALAC output, which has no
// packet copy, then takes its source's depth, see KeptDepth.h); empty for
// the other types.
std::string_view PacketCopySection(OutputType type);

// What the writer makes of audio at `rate` Hz with `channels` for `output`:
// the stream an output of that type holds. `bits` is FLAC's bits per sample
// (0 for the lossy types).
struct StreamFormat {
  int rate = 0, channels = 0, bits = 0;
};
StreamFormat WrittenFormat(const OutputConfiguration& output, int rate, int channels);

// A source opened for copying its packets into an output of one type; its
// bytes are read when the copy needs them. Lives as long as the copy.
class PacketSource {
 public:
  virtual ~PacketSource();
  // The source at `path` for an output of `type`, or nullptr with `reason`
  // set to a clause ("it is no Ogg Vorbis file") when its packets cannot be
  // copied into one. `decodedLength`: the reader's length of it in frames.
  static std::unique_ptr<PacketSource> Open(OutputType type, const QString& path, std::int64_t decodedLength,
                                            QString* reason);

  OutputType Type() const { return type_; }
  virtual const QString& Path() const = 0;
  virtual StreamFormat Format() const = 0;
  virtual std::int64_t Length() const = 0;  // reader frames
  // True when this source's packets may follow `other`'s in one output.
  virtual bool SameSetup(const PacketSource& other) const = 0;
  // Whether frames [begin, end) (begin < end <= Length()) can be copied
  // exactly; false with `reason` set to a clause when not.
  virtual bool CanCopy(std::int64_t begin, std::int64_t end, QString* reason) const;

 protected:
  explicit PacketSource(OutputType type) : type_(type) {}

 private:
  OutputType type_;
};

// The clause saying why `source` does not fit an output stream of `output`
// ("the output is set to 22050 Hz, stereo and the source has 44100 Hz,
// stereo"); empty when it fits.
QString FormatMismatch(const StreamFormat& output, const StreamFormat& source);

// Frames [begin, end) of a source, in its reader's frames.
struct PacketRange {
  const PacketSource* source = nullptr;
  std::int64_t begin = 0, end = 0;
};

struct PacketOutcome {
  std::int64_t decodedFrames = 0;    // what a conforming decoder gives: the sum of the ranges
  std::int64_t packetsInRanges = 0;  // packets whose decode falls inside the ranges
  std::int64_t packetsCopied = 0;    // of those, copied byte for byte
  // A packet does not decode (M4A): the file ends before it, as at a stop.
  bool damaged = false;
};

// Writes the ranges, in order, as one file at `outputPath`. Their sources
// are of one type and share their setup (SameSetup). keepGoing(share 0..1)
// false stops the copy, the file ending where it stopped (still valid).
// Throws snipwave::Error naming the path; a failed write may leave a
// partial file.
PacketOutcome WritePacketCopy(const std::vector<PacketRange>& ranges, const OutputConfiguration& output,
                              const QString& outputPath, const std::function<bool(double)>& keepGoing);

// Why `ranges` (of sources of an output of `type`) cannot be written as one
// copy, as a clause; empty when they can.
QString PacketRangesRefusal(const std::vector<PacketRange>& ranges, OutputType type);

// For the job's summary: "<output>: 812 of 812 packets in the range copied
// byte for byte." (`ranges`: "in the 3 ranges" for a join of three, of
// which `reencoded` were re-encoded on their own before their packets were
// copied: the note says they are among them).
QString PacketShareNote(const QString& outputPath, const PacketOutcome& outcome, int ranges, int reencoded = 0);
// "<file> was re-encoded: <reason>."
QString PacketReencodedNote(const QString& path, const QString& reason);

}  // namespace snipwave
