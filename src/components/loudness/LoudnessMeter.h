#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace snipwave::audio {
class Resampler;
}

namespace snipwave::loudness {

// The loudness of a stretch of audio. Silence (nothing above the absolute
// gate) has no integrated loudness: -infinity.
struct Loudness {
  double integratedLufs = 0;   // LUFS, gated (BS.1770-4)
  double rangeLu = 0;          // LU, EBU Tech 3342
  double truePeakDbtp = 0;     // dBTP, the highest of the channels (upsampled to 192 kHz)
  double samplePeakDbfs = 0;   // dBFS, the highest sample value of the channels
};

// Measures interleaved float32 frames (samples in [-1, 1]) at one rate and
// channel count, block by block as they are read. Channels 1 and 2 are left
// and right (mono counted once); from 3 on the ITU layout L R C LFE Ls Rs,
// the LFE left out. Throws snipwave::Error naming `what` (a path) when
// libebur128 refuses the format or runs out of memory.
class LoudnessMeter {
 public:
  // `truePeak` false leaves the true peak out (reported as the sample
  // peak): the upsampling is about half of the meter's work, and a caller
  // with a true-peak scan of its own does not need it twice. The true peak
  // is the highest sample of the audio upsampled to 192000 Hz by
  // libswresample, as FFmpeg's ebur128 filter takes it. (The filter's last few
  // samples of delay are not flushed: a peak in the final ~0.1 ms may be
  // seen only as its sample peak.)
  LoudnessMeter(int sampleRate, int channels, std::string what, bool truePeak = true);
  ~LoudnessMeter();
  LoudnessMeter(const LoudnessMeter&) = delete;
  LoudnessMeter& operator=(const LoudnessMeter&) = delete;

  void Add(const float* interleaved, std::size_t frames);
  Loudness Result() const;

  // The loudness of several stretches measured apart as if they were one
  // (an album of tracks): integrated and range over the blocks of all, the
  // highest of the peaks. libebur128 gates the 400 ms blocks of all together,
  // whatever each meter's rate. No meters: silence (-infinity).
  static Loudness Combined(const std::vector<const LoudnessMeter*>& meters);

  int SampleRate() const { return sampleRate_; }
  int Channels() const { return channels_; }

 private:
  struct State;  // owns libebur128's state
  std::unique_ptr<State> state_;
  int sampleRate_;
  int channels_;
  std::string what_;
  std::unique_ptr<audio::Resampler> upsampler_;  // set when the true peak is measured
  float upsampledPeak_ = 0;
  float samplePeak_ = 0;  // the highest |sample| of all channels
};

// Decibels of an amplitude ratio (-infinity for 0).
double AmplitudeToDb(double amplitude);
// The amplitude ratio of a gain in dB.
double DbToAmplitude(double db);

}  // namespace snipwave::loudness
