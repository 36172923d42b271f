#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "EdgeEncoder.h"
#include "Mp3Frames.h"

namespace snipwave::mp3copy {

// Reads `size` bytes at byte `offset` of a source file into `out`; returns
// how many it read: fewer only when the file has become shorter.
using ByteReader = std::function<std::size_t(std::int64_t offset, std::uint8_t* out, std::size_t size)>;

// A ByteReader over bytes in memory (`size` of them at `data`).
ByteReader BytesInMemory(const std::uint8_t* data, std::size_t size);

// One range of an MP3 source: decoded sample frames [begin, end) of
// `stream`, whose file `read` reads.
struct CopyRange {
  const Mp3Stream* stream = nullptr;
  ByteReader read;
  std::int64_t begin = 0;
  std::int64_t end = 0;
  // Samples at the range's start and end that are re-encoded whatever the
  // frames there (a fade changes them); no frame holding one is copied.
  std::int64_t reencodeHead = 0;
  std::int64_t reencodeTail = 0;
  // Steps of 1.505 dB added to the global gain of every copied frame (the
  // PCM source gives the re-encoded edges with the same gain already).
  int gainSteps = 0;
};

// Interleaved float samples of frames [from, from + count) of range `row`'s
// source, in the numbering of the reader: `count` frames, fewer only past
// the source's end (its length then or now, when it has become shorter).
using PcmSource = std::function<std::vector<float>(int row, std::int64_t from, std::int64_t count)>;

struct CopyOutcome {
  std::int64_t decodedFrames = 0;  // the written file's decoded length
  std::int64_t copiedFrames = 0;   // source frames written byte for byte
  std::int64_t encodedFrames = 0;  // frames made by the edge encoder
  // Ranges after the first whose frames could not be copied because they do
  // not fall on the output's frame grid (joins only); they were re-encoded.
  std::vector<int> encodedRanges;
  // Stretches of source frames inside the ranges, beyond the few at a
  // copied run's edges, that were re-encoded although they fall on the grid.
  // Rows are the caller's; positions are the source's decoded samples.
  struct ReencodedRun {
    enum class Why {
      ShortBlocks,  // they open or close with short blocks, which cannot meet re-encoded frames
      NoLeadIn,     // no re-encoded frame before them could hold what they take from the bit reservoir
    };
    int row = 0;
    std::int64_t begin = 0, end = 0;
    Why why = Why::NoLeadIn;
  };
  std::vector<ReencodedRun> reencodedRuns;
  bool stopped = false;      // `keepGoing` said no; the file ends where copying stopped
  bool sourceEnded = false;  // a source became shorter while it was read; the file ends there
};

// Whether decoded samples [begin, end) of `stream` hold at least one whole
// frame's output, so that a copy keeps something of the source.
bool HoldsWholeFrame(const Mp3Stream& stream, std::int64_t begin, std::int64_t end);

// Writes the ranges, one after the other, as one MP3 file at `path`: every
// source frame whose decoded samples lie wholly inside its range (and on the
// output's frame grid) is copied byte for byte; what lies between copied runs
// is re-encoded from the decoded audio around it, so that the decoder's
// overlap at each joint sees the same sound on both sides; a Xing/LAME tag
// frame first gives the delay and padding that make a gapless decoder return
// exactly the ranges' samples. All ranges share sample rate and channel count.
// `keepGoing` is asked with the share done (0..1) between chunks. Memory
// stays within a few chunks however long the ranges are. A source that turns
// out shorter than its layout ends the file where its bytes or samples ran
// out (`sourceEnded`). Throws snipwave::Error naming `path` on failure.
CopyOutcome WriteFrameCopy(const std::vector<CopyRange>& ranges, const PcmSource& pcm, const EdgeEncoding& encoding,
                           const std::string& path, const std::function<bool(double)>& keepGoing);

}  // namespace snipwave::mp3copy
