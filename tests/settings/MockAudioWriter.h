#pragma once

#include <gmock/gmock.h>

#include "components/audio/AudioInterfaces.h"

namespace snipwave::test {

// A writer whose format checks the test decides. Everything else is unused by
// the dialogs and fails the test if called.
class MockAudioWriter : public IAudioFile2 {
 public:
  MOCK_METHOD(void, OpenFile, (const std::string&, int, int), (override));
  MOCK_METHOD(void, CloseFile, (), (override));
  MOCK_METHOD(void, CreateOutputFile, (const std::string&, int), (override));
  MOCK_METHOD(void, WriteSamples, (const SampleBuffer&), (override));
  MOCK_METHOD(SampleBuffer, ReadSamples, (int), (override));
  MOCK_METHOD(int, SeekSample, (std::int64_t, int), (override));
  MOCK_METHOD(bool, CheckMp3Format, (int, int, int), (override));
  MOCK_METHOD(bool, CheckOggFormat, (int, int, int, int, int), (override));
  MOCK_METHOD(void, SetPcmFormat, (int, int), (override));
  MOCK_METHOD(void, SetWavFormat, (int, int, int), (override));
  MOCK_METHOD(void, SetMp3Encoder, (IAudioFile2LameEnc*), (override));
  MOCK_METHOD(void, SetOggFormat, (int, int, int, int, int, int), (override));
  MOCK_METHOD(void, SetWmaProfile, (int), (override));
  MOCK_METHOD(int, LengthSamples, (), (const, override));
  MOCK_METHOD(bool, IsOpen, (), (const, override));
  MOCK_METHOD(int, FrameSize, (), (const, override));
  MOCK_METHOD(int, DurationMs, (), (const, override));
  MOCK_METHOD(int, Channels, (), (const, override));
  MOCK_METHOD(unsigned, SampleRate, (), (const, override));
  MOCK_METHOD(void, SetInitFlag, (bool), (override));
};

}  // namespace snipwave::test
