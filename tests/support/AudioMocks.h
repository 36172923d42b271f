#pragma once

#include <gmock/gmock.h>

#include "components/audio/AudioInterfaces.h"

namespace snipwave::test {

// gmock doubles of the audio components, for tests of call orders and of
// what the program does with the components' answers.
class MockAudioFile2 : public IAudioFile2 {
 public:
  MOCK_METHOD(void, OpenFile, (const std::string& path, int flags, int mode), (override));
  MOCK_METHOD(void, CloseFile, (), (override));
  MOCK_METHOD(void, CreateOutputFile, (const std::string& path, int flags), (override));
  MOCK_METHOD(void, WriteSamples, (const SampleBuffer& buffer), (override));
  MOCK_METHOD(SampleBuffer, ReadSamples, (int frames), (override));
  MOCK_METHOD(std::int64_t, SeekSample, (std::int64_t position, int mode), (override));
  MOCK_METHOD(bool, CheckMp3Format, (int sampleRate, int bitRateKbps, int channels), (override));
  MOCK_METHOD(bool, CheckOggFormat, (int sampleRate, int channels, int nominalKbps, int maxKbps, int minKbps),
              (override));
  MOCK_METHOD(void, SetPcmFormat, (int sampleRate, int channels), (override));
  MOCK_METHOD(void, SetWavFormat, (int sampleRate, int channels, int bitsPerSample), (override));
  MOCK_METHOD(std::optional<WavFormatValues>, WavFormat, (), (const, override));
  MOCK_METHOD(void, SetMp3Encoder, (IAudioFile2LameEnc * encoder), (override));
  MOCK_METHOD(void, SetOggFormat,
              (int sampleRate, int channels, int nominalKbps, int maxKbps, int minKbps, int quality), (override));
  MOCK_METHOD(void, SetWmaProfile, (int profile), (override));
  MOCK_METHOD(void, SetFlacFormat, (int compressionLevel, int bitsPerSample), (override));
  MOCK_METHOD(void, SetOpusFormat, (int kbps, bool variableBitRate, bool speech, int channels), (override));
  MOCK_METHOD(void, SetM4aFormat, (bool alac, int aacKbps, int alacBits), (override));
  MOCK_METHOD(std::int64_t, LengthSamples, (), (const, override));
  MOCK_METHOD(std::int64_t, DamagedFrames, (), (const, override));
  MOCK_METHOD(bool, IsOpen, (), (const, override));
  MOCK_METHOD(int, FrameSize, (), (const, override));
  MOCK_METHOD(int, DurationMs, (), (const, override));
  MOCK_METHOD(int, Channels, (), (const, override));
  MOCK_METHOD(unsigned, SampleRate, (), (const, override));
  MOCK_METHOD(void, SetInitFlag, (bool on), (override));
};

class MockLameEnc : public IAudioFile2LameEnc {
 public:
  MOCK_METHOD(void, SetVbrBitRate, (int kbps), (override));
  MOCK_METHOD(void, SetVbrQuality, (int quality), (override));
  MOCK_METHOD(void, SetVbrMode, (int mode), (override));
  MOCK_METHOD(void, SetQuality, (int quality), (override));
  MOCK_METHOD(int, VbrBitRate, (), (const, override));
  MOCK_METHOD(int, VbrQuality, (), (const, override));
  MOCK_METHOD(int, VbrMode, (), (const, override));
  MOCK_METHOD(int, Quality, (), (const, override));
  MOCK_METHOD(int, SampleRate, (), (const, override));
  MOCK_METHOD(void, SetSampleRate, (int hz), (override));
  MOCK_METHOD(int, Channels, (), (const, override));
  MOCK_METHOD(void, SetChannels, (int channels), (override));
  MOCK_METHOD(int, BitRate, (), (const, override));
  MOCK_METHOD(void, SetBitRate, (int kbps), (override));
};

}  // namespace snipwave::test
