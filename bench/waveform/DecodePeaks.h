#pragma once

// The waveform benchmarks' baseline: decode a file and cut it into base
// blocks of peaks, as the `peaks` command does, with nothing else.
#include <string>
#include <vector>

#include "components/audio/TAudioFile2.h"
#include "waveform/PeakBlocks.h"
#include "waveform/WaveformPeaks.h"

namespace snipwave::bench {

// Returns the number of blocks.
inline std::size_t DecodePeaks(const std::string& path) {
  TAudioFile2 reader;
  reader.OpenFile(path);
  BlockPeaks blocks(WaveformPeaks::kBaseFrames, reader.Channels());
  std::vector<PeakPair> peaks;
  for (;;) {
    const SampleBuffer b = reader.ReadSamples(1 << 16);
    if (b.empty()) break;
    blocks.Add(b.data(), b.size() / static_cast<std::size_t>(reader.Channels()), peaks);
  }
  blocks.Finish(peaks);
  return peaks.size();
}

}  // namespace snipwave::bench
