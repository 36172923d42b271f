#pragma once

#include <cstddef>
#include <memory>

namespace snipwave::audio {
class Resampler;
}

namespace snipwave::level {

// The true peak of interleaved float frames (BS.1770: the highest magnitude
// of the signal oversampled to at least 192 kHz), read as the loudness meter
// and FFmpeg's ebur128 filter read it: libswresample's filter up to
// 192 kHz, then the highest magnitude. A gain held under a ceiling by this
// measure stays under it by theirs.
class TruePeakScan {
 public:
  // `sampleRate`: of the frames given, in Hz.
  TruePeakScan(int channels, int sampleRate);
  ~TruePeakScan();
  void Add(const float* interleaved, std::size_t frames);
  // dBTP of the highest channel; -infinity for silence. The frames after
  // the last are taken as silence (the filter's tail is read too).
  double PeakDb();

 private:
  void Take(int produced);

  int channels_;
  std::unique_ptr<audio::Resampler> upsampler_;  // none at 192 kHz and above
  float peak_ = 0;
  bool flushed_ = false;
};

}  // namespace snipwave::level
