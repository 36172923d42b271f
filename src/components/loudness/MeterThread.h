#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "components/loudness/LoudnessMeter.h"

namespace snipwave::loudness {

// A LoudnessMeter fed on a thread of its own: a decoding loop hands it each
// block it has read (interleaved float frames) and goes on at once, so that
// what else it does with the blocks (peaks for a waveform) does not wait for
// the measure. At most kQueued blocks wait; Add waits beyond that, which
// bounds the memory. The destructor drops what waits and joins the thread.
class MeterThread {
 public:
  static constexpr std::size_t kQueued = 8;

  // Throws what the LoudnessMeter's constructor throws.
  MeterThread(int sampleRate, int channels, std::string what);
  ~MeterThread();
  MeterThread(const MeterThread&) = delete;
  MeterThread& operator=(const MeterThread&) = delete;

  void Add(std::vector<float> interleaved);
  // Waits until every block given is measured; the result, or what the
  // meter threw while measuring.
  Loudness Finish();

 private:
  void Run();

  LoudnessMeter meter_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::vector<float>> queue_;
  bool closed_ = false, dropped_ = false;
  bool busy_ = false;  // a block is being measured
  std::exception_ptr failure_;
  std::thread thread_;  // last: started once the rest exists
};

}  // namespace snipwave::loudness
