#pragma once

// What the in-process benchmarks share: wall seconds since a time point, and
// a shell command that must succeed (the benchmark ends otherwise).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace snipwave::bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

inline void Run(const std::string& command) {
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "failed: %s\n", command.c_str());
    std::exit(1);
  }
}

// The hour of audio the waveform and loudness benchmarks read: a tone with
// noise, stereo, 192 kbit/s MP3, made once in `dir` and kept there.
inline std::string MakeHourMp3(const std::filesystem::path& dir) {
  const std::filesystem::path path = dir / "bench-60min.mp3";
  if (!std::filesystem::exists(path)) {
    std::printf("making %s ...\n", path.c_str());
    std::fflush(stdout);
    Run("ffmpeg -hide_banner -loglevel error -y -f lavfi -i \"sine=f=440:r=44100:d=3600\" -f lavfi -i "
        "\"anoisesrc=r=44100:a=0.1:d=3600\" -filter_complex \"[0][1]amerge=inputs=2\" -ac 2 -c:a libmp3lame "
        "-b:a 192k '" + path.string() + "'");
  }
  return path.string();
}

}  // namespace snipwave::bench
