#pragma once

#include "AudioInterfaces.h"

namespace snipwave {

// The MP3 encoder settings object. Plain values, read back as written; a
// writer given this object (SetMp3Encoder) reads them when it creates an MP3
// file, and refuses values LAME cannot honour at that moment.
//
// VbrBitRate (kbit/s): used only with VbrMode 0, as the maximum bit rate of
// every frame (LAME -B). LAME picks each frame's bit rate from VbrQuality
// (LAME -V) up to that ceiling, taken as the nearest rate of the sample rate's
// Layer III table not above it. BitRate applies to constant bit rate (VbrMode -1).
class TAudioFile2LameEnc final : public IAudioFile2LameEnc {
 public:
  void SetVbrBitRate(int kbps) override { vbrBitRate_ = kbps; }
  void SetVbrQuality(int quality) override { vbrQuality_ = quality; }
  void SetVbrMode(int mode) override { vbrMode_ = mode; }
  void SetQuality(int quality) override { quality_ = quality; }
  int VbrBitRate() const override { return vbrBitRate_; }
  int VbrQuality() const override { return vbrQuality_; }
  int VbrMode() const override { return vbrMode_; }
  int Quality() const override { return quality_; }
  int SampleRate() const override { return sampleRate_; }
  void SetSampleRate(int hz) override { sampleRate_ = hz; }
  int Channels() const override { return channels_; }
  void SetChannels(int channels) override { channels_ = channels; }
  int BitRate() const override { return bitRate_; }
  void SetBitRate(int kbps) override { bitRate_ = kbps; }

 private:
  int vbrBitRate_ = 128;
  int vbrQuality_ = 5;
  int vbrMode_ = -1;
  int quality_ = 9;
  int sampleRate_ = 44100;
  int channels_ = 2;
  int bitRate_ = 128;
};

}  // namespace snipwave
