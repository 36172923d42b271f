// FLAC and Opus encoding through TAudioFile2 against the formats' own
// command-line encoders (`flac`, `opusenc`) on the same 10-minute WAV, at the
// same level / bit rate: time and size ratios (Snipwave / tool).
// Usage: encode_bench [work folder]   (the input is made there once with ffmpeg)
#include <cstdio>
#include <filesystem>
#include <string>

#include "components/audio/TAudioFile2.h"

#include "../BenchSteps.h"
#include "TranscodeLoop.h"

namespace fs = std::filesystem;
using snipwave::bench::Clock;
using snipwave::bench::Run;
using snipwave::bench::Seconds;

namespace {

// 10 minutes of 16-bit stereo 44.1 kHz: a tone with noise, which neither
// encoder can make trivially small.
std::string MakeInput(const fs::path& dir) {
  return snipwave::bench::MakeToneWithNoise(dir / "encode-10min.wav", 600,
                                            "-fflags +bitexact -flags:a +bitexact -c:a pcm_s16le");
}

// The cut job's loop: chunks of rate x channels frames from the reader.
void Encode(const std::string& in, const std::string& out, int flacLevel, int opusKbps) {
  snipwave::TAudioFile2 writer;
  writer.SetFlacFormat(flacLevel, 16);
  writer.SetOpusFormat(opusKbps, true, false, 0);
  snipwave::bench::TranscodeWith(writer, in, out);
}

void Compare(const char* what, const std::string& ours, const std::string& theirs, const std::string& toolCommand,
             const std::string& in, int flacLevel, int opusKbps) {
  auto t0 = Clock::now();
  Run(toolCommand);
  const double toolSeconds = Seconds(t0);
  t0 = Clock::now();
  Encode(in, ours, flacLevel, opusKbps);
  const double ourSeconds = Seconds(t0);
  const double sizeRatio = static_cast<double>(fs::file_size(ours)) / static_cast<double>(fs::file_size(theirs));
  std::printf("  %s: snipwave %.2f s, tool %.2f s, time ratio %.3f, size ratio %.3f\n", what, ourSeconds, toolSeconds,
              ourSeconds / toolSeconds, sizeRatio);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path dir = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "snipwave-bench";
  fs::create_directories(dir);
  const std::string in = MakeInput(dir);
  std::printf("encode of a 10-minute stereo 44.1 kHz WAV (ratio = Snipwave / tool)\n");
  for (const int level : {0, 5, 8}) {
    const std::string ours = (dir / "ours.flac").string(), theirs = (dir / "tool.flac").string();
    Compare(("FLAC level " + std::to_string(level) + " vs flac -" + std::to_string(level)).c_str(), ours, theirs,
            "flac -s -f -" + std::to_string(level) + " -o '" + theirs + "' '" + in + "'", in, level, 128);
  }
  for (const int kbps : {64, 128}) {
    const std::string ours = (dir / "ours.opus").string(), theirs = (dir / "tool.opus").string();
    Compare(("Opus " + std::to_string(kbps) + " kbit/s VBR vs opusenc").c_str(), ours, theirs,
            "opusenc --quiet --bitrate " + std::to_string(kbps) + " '" + in + "' '" + theirs + "'", in, 5, kbps);
  }
  return 0;
}
