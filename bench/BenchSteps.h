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

// Makes `path` once (kept for later runs): a 440 Hz tone with noise, stereo
// 44.1 kHz, `seconds` long, which no encoder can make trivially small,
// encoded by FFmpeg with `codec` (its output options, e.g. "-c:a pcm_s16le").
inline std::string MakeToneWithNoise(const std::filesystem::path& path, int seconds, const std::string& codec) {
  if (!std::filesystem::exists(path)) {
    std::printf("making %s ...\n", path.c_str());
    std::fflush(stdout);
    const std::string d = std::to_string(seconds);
    Run("ffmpeg -hide_banner -loglevel error -y -f lavfi -i \"sine=f=440:r=44100:d=" + d + "\" -f lavfi -i "
        "\"anoisesrc=r=44100:a=0.1:d=" + d + "\" -filter_complex \"[0][1]amerge=inputs=2\" -ac 2 " + codec + " '" +
        path.string() + "'");
  }
  return path.string();
}

// The hour of audio the waveform and loudness benchmarks read, 192 kbit/s MP3.
inline std::string MakeHourMp3(const std::filesystem::path& dir) {
  return MakeToneWithNoise(dir / "bench-60min.mp3", 3600, "-c:a libmp3lame -b:a 192k");
}

}  // namespace snipwave::bench
