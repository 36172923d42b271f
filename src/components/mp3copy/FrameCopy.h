#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "EdgeEncoder.h"
#include "Mp3Frames.h"

namespace snipwave::mp3copy {

// One range of an MP3 source: decoded sample frames [begin, end) of
// `stream`, whose file's bytes are `bytes` (all of the file).
struct CopyRange {
  const Mp3Stream* stream = nullptr;
  const std::uint8_t* bytes = nullptr;
  std::int64_t begin = 0;
  std::int64_t end = 0;
};

// Interleaved float samples of frames [from, from + count) of range `row`'s
// source, in the numbering of the reader (exactly `count` frames; silence
// past the source's end).
using PcmSource = std::function<std::vector<float>(int row, std::int64_t from, std::int64_t count)>;

struct CopyOutcome {
  std::int64_t decodedFrames = 0;  // the written file's decoded length
  std::int64_t copiedFrames = 0;   // source frames written byte for byte
  std::int64_t encodedFrames = 0;  // frames made by the edge encoder
  // Ranges after the first whose frames could not be copied because they do
  // not fall on the output's frame grid (joins only); they were re-encoded.
  std::vector<int> encodedRanges;
  bool stopped = false;  // `keepGoing` said no; the file ends where copying stopped
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
// `keepGoing` is asked with the share done (0..1) between chunks.
// Throws snipwave::Error naming `path` on failure.
CopyOutcome WriteFrameCopy(const std::vector<CopyRange>& ranges, const PcmSource& pcm, const EdgeEncoding& encoding,
                           const std::string& path, const std::function<bool(double)>& keepGoing);

}  // namespace snipwave::mp3copy
