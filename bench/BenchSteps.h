#pragma once

// What the in-process benchmarks share: wall seconds since a time point, and
// a shell command that must succeed (the benchmark ends otherwise).
#include <chrono>
#include <cstdio>
#include <cstdlib>
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

}  // namespace snipwave::bench
