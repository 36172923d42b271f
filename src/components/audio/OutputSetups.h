#pragma once

#include <string>

#include "EncoderSetup.h"

namespace snipwave::audio {

// The writer's settings per output type, as set through IAudioFile2 and
// IAudioFile2LameEnc, and their translation into an EncoderSetup. Each Make
// function throws snipwave::Error (naming `path`) for settings the encoder
// cannot honour exactly, so nothing other than what was asked is written.

struct Mp3Settings {
  int sampleRate = 44100;
  int channels = 2;
  int bitRate = 128;   // kbit/s, constant bit rate
  int quality = 9;     // LAME -q: 0 best/slow ... 9 worst/fast
  int vbrMode = -1;    // -1 constant bit rate, 0 variable
  int vbrQuality = 5;  // LAME -V: 0 best ... 9 worst
  int vbrBitRate = 128;
};
EncoderSetup MakeMp3Setup(const Mp3Settings& s, const std::string& path);

struct WavSettings {
  int sampleRate = 0;  // 0: the incoming data's own rate and channels ("best suited")
  int channels = 0;
  int bits = 16;       // 8 or 16
};
EncoderSetup MakeWavSetup(const WavSettings& s, int inRate, int inChannels, const std::string& path);

struct OggSettings {
  int sampleRate = 44100;
  int channels = 2;
  int nominalKbps = 128;
  int maxKbps = 128;
  int minKbps = 128;
  int quality = -1;  // 0 best ... 1000 worst; -1 = managed bit rate
};
EncoderSetup MakeOggSetup(const OggSettings& s, const std::string& path);

EncoderSetup MakeWmaSetup(int profile, const std::string& path);

struct FlacSettings {
  int compressionLevel = 5;  // 0 fastest ... 8 smallest
  int bits = 16;             // 16 or 24
};
// At the incoming data's rate and channel count: the samples stay as they are.
EncoderSetup MakeFlacSetup(const FlacSettings& s, int inRate, int inChannels, const std::string& path);

struct OpusSettings {
  int kbps = 128;  // 6 ... 510
  bool variableBitRate = true;
  bool speech = false;  // libopus application "voip" instead of "audio"
  int channels = 0;     // 1 or 2; 0 = from the incoming data
};
// Always 48000 Hz, Opus's own rate: other rates are resampled to it.
EncoderSetup MakeOpusSetup(const OpusSettings& s, int inChannels, const std::string& path);

struct M4aSettings {
  bool alac = false;  // Apple Lossless instead of AAC
  int aacKbps = 192;  // 32 ... 320
  int alacBits = 16;  // 16 or 24
};
EncoderSetup MakeM4aSetup(const M4aSettings& s, int inRate, int inChannels, const std::string& path);

// True when LAME encodes this rate / constant bit rate / channel count as
// given: MPEG-1 (32, 44.1, 48 kHz), MPEG-2 (16, 22.05, 24 kHz) and MPEG-2.5
// (8, 11.025, 12 kHz) Layer III each have their own bit-rate table; any other
// rate (6000 Hz among them) is resampled by LAME and so never supported.
bool IsMp3FormatSupported(int sampleRate, int kbps, int channels);

}  // namespace snipwave::audio
