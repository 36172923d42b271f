#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace snipwave::oggcopy {

struct OggStream;

// The codecs whose Ogg packets can be copied.
enum class Codec { kVorbis, kOpus };

// An Ogg Vorbis or Ogg Opus source (one link, one stream) opened for copying
// its packets; its bytes are read when a copy needs them, so a file that
// becomes shorter meanwhile ends the copy with an error, not the program.
// Positions are the audio reader's sample frames: Vorbis frame 0 is the first
// frame libvorbisfile outputs, Opus frame 0 the first after the pre-skip
// (always at 48 kHz).
class OggCopySource {
 public:
  // nullptr with `reason` set to a clause ("it is a chained Ogg file") when
  // its packets cannot be copied. `decodedLength`: the audio reader's length
  // of it in frames, which the packet layout must agree with.
  static std::unique_ptr<OggCopySource> Open(const QString& path, std::int64_t decodedLength, QString* reason);
  ~OggCopySource();

  const QString& Path() const { return path_; }
  Codec codec() const;
  int SampleRate() const;  // Hz; the reader's rate (Opus: 48000)
  int Channels() const;
  std::int64_t Length() const;  // reader frames
  // True when this source's packets may follow `other`'s in one output: the
  // same codec and setup (Vorbis identification and setup headers; Opus
  // channel count, mapping and input rate).
  bool SameSetup(const OggCopySource& other) const;

  // Whether reader frames [begin, end) (begin < end <= Length()) can be
  // copied so that a decoder gives exactly them; false with `reason` set to
  // a clause when not. Only a Vorbis range lying inside one packet's output
  // and touching neither of its ends fails: a granule position trims either
  // the start or the end of a stream's only audio page, never both. The
  // caller re-encodes such a range (it is shorter than one block).
  bool CanCopy(std::int64_t begin, std::int64_t end, QString* reason) const;

  // The packet layout, for the writer.
  const OggStream& Stream() const { return *stream_; }

 private:
  OggCopySource(const QString& path, std::unique_ptr<OggStream> stream);
  QString path_;
  std::unique_ptr<OggStream> stream_;
};

// Reader frames [begin, end) of `source`.
struct CopyRange {
  const OggCopySource* source = nullptr;
  std::int64_t begin = 0, end = 0;
};

struct CopyOutcome {
  std::int64_t decodedFrames = 0;    // what a conforming decoder gives: the sum of the ranges
  std::int64_t packetsInRanges = 0;  // packets whose decode falls inside the ranges
  std::int64_t packetsCopied = 0;    // of those, copied byte for byte (pre-roll packets count as copied)
};

// Writes the ranges, in order, as one Ogg file at `outputPath` (a cut: one
// range), one chained link per range with its own headers, serial number and
// trimming. Ranges after the first must have SameSetup() with the first;
// every range must pass CanCopy() (else snipwave::Error, nothing written).
// `keepGoing` gets the share done (0..1); false stops the copy, the file
// ending, still valid, where it stopped. Throws snipwave::Error naming the
// path and the operation; a failed write may leave a partial file (the
// caller deletes its temporary).
CopyOutcome WriteOggCopy(const std::vector<CopyRange>& ranges, const QString& outputPath,
                         const std::function<bool(double)>& keepGoing);

}  // namespace snipwave::oggcopy
