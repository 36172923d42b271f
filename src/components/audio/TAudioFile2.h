#pragma once

#include <memory>
#include <string>
#include <vector>

#include "AudioInterfaces.h"
#include "OggChain.h"
#include "OutputSetups.h"

namespace snipwave {

namespace audio {
class SourceDecoder;
class Resampler;
class OutputFile;
}  // namespace audio

// The audio file reader/writer on FFmpeg (one class; the program uses one
// instance as reader and one as writer).
//
// Reading: OpenFile probes the file (MP3, WAV, WMA, OGG) and measures it: a
// PCM WAV file from its header, anything else by a demux scan that is kept
// for a few recently opened files, so reopening an unchanged file is cheap
// (see audio::SourceDecoder, audio::ScanCache). Positions and lengths are
// frames of the decoded stream, exactly what a full decode yields. ReadSamples returns interleaved float32 frames. SetPcmFormat on an
// open reader converts what is read next (cleared by the next OpenFile);
// SampleRate/Channels/LengthSamples keep describing the file itself, while
// FrameSize is the element count per frame of the buffers ReadSamples returns
// (= Channels unless a conversion to another channel count is set).
//
// Writing: CreateOutputFile picks the type by extension and uses the
// parameters set for that type (they persist from file to file). Defaults
// before any format call: MP3 44100 Hz stereo 128 kbit/s quality 9; WAV at
// the incoming rate and channels, 16 bit; WMA profile 10; OGG 44100 Hz stereo
// 128 kbit/s managed; FLAC level 5, 16 bit; Opus 128 kbit/s VBR music; M4A
// AAC 192 kbit/s. Incoming data (SetPcmFormat, default 44100 Hz stereo)
// is resampled and remixed to the output's rate and channels.
//
// Every failure throws snipwave::Error with operation, path and reason.
class TAudioFile2 final : public IAudioFile2 {
 public:
  TAudioFile2();
  ~TAudioFile2() override;

  void OpenFile(const std::string& path, int flags = 0, int mode = 1) override;
  void CloseFile() override;
  void CreateOutputFile(const std::string& path, int flags = 0) override;
  void WriteSamples(const SampleBuffer& buffer) override;
  SampleBuffer ReadSamples(int frames) override;
  std::int64_t SeekSample(std::int64_t position, int mode = 3) override;

  bool CheckMp3Format(int sampleRate, int bitRateKbps, int channels) override;
  bool CheckOggFormat(int sampleRate, int channels, int nominalKbps, int maxKbps, int minKbps) override;

  void SetPcmFormat(int sampleRate, int channels) override;
  void SetWavFormat(int sampleRate, int channels, int bitsPerSample) override;
  std::optional<WavFormatValues> WavFormat() const override;
  void SetMp3Encoder(IAudioFile2LameEnc* encoder) override;
  void SetOggFormat(int sampleRate, int channels, int nominalKbps, int maxKbps, int minKbps, int quality) override;
  void SetWmaProfile(int profile) override;
  void SetFlacFormat(int compressionLevel, int bitsPerSample) override;
  void SetOpusFormat(int kbps, bool variableBitRate, bool speech, int channels) override;
  void SetM4aFormat(bool alac, int aacKbps, int alacBits) override;

  std::int64_t LengthSamples() const override;
  std::int64_t DamagedFrames() const override;
  // The links of a chained Ogg source, in order (empty for any other file).
  std::vector<audio::LinkFormat> SourceLinks() const;
  bool IsOpen() const override;
  int FrameSize() const override;
  int DurationMs() const override;
  int Channels() const override;
  unsigned SampleRate() const override;
  int BitsPerSample() const override;
  void SetInitFlag(bool on) override { initFlag_ = on; }

 private:
  void RequireReader(const char* operation) const;
  void ResetReadConversion();

  // Reader
  std::string sourcePath_;
  std::unique_ptr<audio::SourceDecoder> source_;
  std::unique_ptr<audio::Resampler> readConversion_;
  int readRate_ = 0;      // conversion target; 0 = none
  int readChannels_ = 0;
  bool readDrained_ = false;
  std::vector<float> readCarry_;  // converted frames not yet handed out
  std::vector<float> readScratch_;

  // Writer
  std::unique_ptr<audio::OutputFile> output_;
  int pcmRate_ = 44100;
  int pcmChannels_ = 2;
  audio::WavSettings wav_;
  IAudioFile2LameEnc* mp3Encoder_ = nullptr;
  audio::OggSettings ogg_;
  int wmaProfile_ = 10;
  audio::FlacSettings flac_;
  audio::OpusSettings opus_;
  audio::M4aSettings m4a_;
  bool initFlag_ = false;
};

}  // namespace snipwave
