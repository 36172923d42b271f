#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace snipwave::flaccopy {

struct FlacStream;

// A native FLAC file ("fLaC", metadata blocks, frames) opened for copying its
// frames; its bytes are read when needed. Positions are sample frames of the
// decode (one sample per channel each), frame 0 being the first sample.
class FlacCopySource {
 public:
  // nullptr with `reason` set to a clause ("it is an Ogg FLAC file") when its
  // frames cannot be copied. `decodedLength`: the audio reader's length of it
  // in sample frames, which the frames' block sizes must add up to (else
  // refuse: "its frames do not add up to its length").
  static std::unique_ptr<FlacCopySource> Open(const QString& path, std::int64_t decodedLength, QString* reason);
  ~FlacCopySource();
  FlacCopySource(const FlacCopySource&) = delete;
  FlacCopySource& operator=(const FlacCopySource&) = delete;

  const QString& Path() const { return path_; }
  int SampleRate() const;
  int Channels() const;
  int BitsPerSample() const;
  std::int64_t Length() const;  // sample frames
  // True when this source's frames may follow `other`'s in one output: same
  // rate, channel count and bits per sample.
  bool SameSetup(const FlacCopySource& other) const;

  // The frame layout found by Open (for the writer).
  const FlacStream& Stream() const { return *stream_; }

 private:
  FlacCopySource(QString path, std::unique_ptr<FlacStream> stream);
  QString path_;
  std::unique_ptr<FlacStream> stream_;
};

// Sample frames [begin, end) of `source`.
struct CopyRange {
  const FlacCopySource* source = nullptr;
  std::int64_t begin = 0, end = 0;
};

struct CopyOutcome {
  std::int64_t decodedFrames = 0;    // sample frames a decoder gives: the sum of the ranges
  std::int64_t packetsInRanges = 0;  // source FLAC frames whose samples fall (partly) inside the ranges
  std::int64_t packetsCopied = 0;    // of those, copied byte for byte (subframes unchanged)
  bool stopped = false;              // `keepGoing` said no; the file ends where copying stopped
};

// Writes the ranges, in order, as one FLAC file at `outputPath` (a cut: one
// range): every source frame wholly inside its range is copied with its
// subframes byte for byte (its header renumbered for the variable-blocksize
// strategy, CRCs recomputed); the samples at each range's edges that only
// part of a frame holds are decoded and re-encoded with libavcodec's FLAC
// encoder at `compressionLevel` (0..12) and the source's bits per sample.
// STREAMINFO carries the output's block and frame size bounds, total
// samples and the MD5 of its samples. All ranges' sources share rate,
// channels and bits (SameSetup). keepGoing(share 0..1) false: stop, the file
// ending where it stopped (still valid). Throws snipwave::Error naming the
// path and operation; a failed write may leave a partial file (the caller
// deletes its temporary).
CopyOutcome WriteFlacCopy(const std::vector<CopyRange>& ranges, const QString& outputPath,
                          const std::function<bool(double)>& keepGoing, int compressionLevel = 5);

}  // namespace snipwave::flaccopy
