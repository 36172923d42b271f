#pragma once

#include <string>
#include <string_view>

namespace snipwave::audio {

// One entry of the WMA profile list (profile number = list index + 1), parsed
// from its own text ("WMA9 44KHz, 128Kbps, Stereo, CBR"): "44KHz" is 44100 Hz,
// "22KHz" 22050 and "11KHz" 11025; the others are whole kHz.
struct WmaProfile {
  int number = 0;
  std::string_view text;
  int sampleRate = 0;  // Hz
  int channels = 0;
  int kbps = 0;        // 0 for the quality and lossless entries
  bool vbrQuality = false;
  bool lossless = false;
  // Empty when the WMA encoder can write this profile, else why not.
  std::string unsupportedReason;
};

constexpr int kWmaProfileCount = 47;

// Profile 1..47; throws snipwave::Error for any other number.
const WmaProfile& WmaProfileByNumber(int number);

}  // namespace snipwave::audio
