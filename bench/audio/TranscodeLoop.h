#pragma once

// The cut job's loop as the audio benchmarks run it: the whole of `in` read
// in chunks of rate x channels frames and written to `out` by a writer whose
// format the caller has set.
#include <string>

#include "components/audio/TAudioFile2.h"

namespace snipwave::bench {

inline void TranscodeWith(TAudioFile2& writer, const std::string& in, const std::string& out) {
  TAudioFile2 reader;
  reader.OpenFile(in);
  writer.SetPcmFormat(static_cast<int>(reader.SampleRate()), reader.Channels());
  writer.CreateOutputFile(out);
  const int chunk = static_cast<int>(reader.SampleRate()) * reader.Channels();
  for (;;) {
    const SampleBuffer b = reader.ReadSamples(chunk);
    if (b.empty()) break;
    writer.WriteSamples(b);
  }
  writer.CloseFile();
  reader.CloseFile();
}

}  // namespace snipwave::bench
