#include <algorithm>
#include <array>

#include "OutputSetups.h"
#include "platform/Error.h"

namespace snipwave::audio {

namespace {

constexpr std::array<int, 14> kMpeg1Kbps = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr std::array<int, 14> kMpeg2Kbps = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
constexpr std::array<int, 8> kMpeg25Kbps = {8, 16, 24, 32, 40, 48, 56, 64};

template <std::size_t N>
bool Contains(const std::array<int, N>& table, int v) {
  return std::find(table.begin(), table.end(), v) != table.end();
}

bool IsMp3Rate(int rate) {
  switch (rate) {
    case 32000: case 44100: case 48000:
    case 16000: case 22050: case 24000:
    case 8000: case 11025: case 12000:
      return true;
    default:
      return false;
  }
}

template <std::size_t N>
int HighestNotAbove(const std::array<int, N>& table, int kbps) {
  int best = table.front();  // below the table: its lowest rate
  for (int v : table) {
    if (v <= kbps) best = v;
  }
  return best;
}

// The bit rate of the sample rate's Layer III table that a VBR maximum of
// `kbps` allows: the highest entry not above it (the lowest entry when it is
// below the whole table, the top entry when it is above).
int VbrCeiling(int sampleRate, int kbps) {
  if (sampleRate >= 32000) return HighestNotAbove(kMpeg1Kbps, kbps);
  if (sampleRate >= 16000) return HighestNotAbove(kMpeg2Kbps, kbps);
  return HighestNotAbove(kMpeg25Kbps, kbps);
}

}  // namespace

bool IsMp3FormatSupported(int sampleRate, int kbps, int channels) {
  if (channels != 1 && channels != 2) return false;
  switch (sampleRate) {
    case 32000: case 44100: case 48000: return Contains(kMpeg1Kbps, kbps);
    case 16000: case 22050: case 24000: return Contains(kMpeg2Kbps, kbps);
    case 8000: case 11025: case 12000: return Contains(kMpeg25Kbps, kbps);
    default: return false;
  }
}

EncoderSetup MakeMp3Setup(const Mp3Settings& s, const std::string& path) {
  const auto fail = [&](const std::string& why) { return Error::Failed("Cannot create", path, why); };
  if (s.quality < 0 || s.quality > 9) throw fail("MP3 quality " + std::to_string(s.quality) + " is outside 0 to 9");
  EncoderSetup setup;
  setup.container = "mp3";
  setup.codec = "libmp3lame";
  setup.sampleRate = s.sampleRate;
  setup.channels = s.channels;
  setup.compressionLevel = s.quality;  // LAME -q: the encoder's effort
  const std::string format = std::to_string(s.sampleRate) + " Hz, " + std::to_string(s.channels) + " channel(s)";
  if (s.vbrMode == 0) {
    // Variable bit rate: LAME -V<VbrQuality>, each frame's bit rate chosen
    // by LAME from the sample rate's Layer III table and never above
    // VbrBitRate (LAME -B), taken as that table's nearest entry not above it.
    if (!IsMp3Rate(s.sampleRate) || (s.channels != 1 && s.channels != 2)) {
      throw fail("MP3 " + format + " is not supported");
    }
    if (s.vbrQuality < 0 || s.vbrQuality > 9) {
      throw fail("MP3 VBR quality " + std::to_string(s.vbrQuality) + " is outside 0 to 9");
    }
    if (s.vbrBitRate <= 0) {
      throw fail("MP3 VBR maximum bit rate " + std::to_string(s.vbrBitRate) + " kbit/s is not a bit rate");
    }
    const int ceiling = VbrCeiling(s.sampleRate, s.vbrBitRate);
    setup.qualityMode = true;
    setup.quality = s.vbrQuality;
    setup.maxRate = static_cast<std::int64_t>(ceiling) * 1000;
    setup.description = "MP3 " + format + ", VBR quality " + std::to_string(s.vbrQuality) + ", at most " +
                        std::to_string(ceiling) + " kbit/s";
  } else {
    if (!IsMp3FormatSupported(s.sampleRate, s.bitRate, s.channels)) {
      throw fail("MP3 " + format + " at " + std::to_string(s.bitRate) + " kbit/s is not supported");
    }
    setup.bitRate = static_cast<std::int64_t>(s.bitRate) * 1000;
    setup.description = "MP3 " + format + ", " + std::to_string(s.bitRate) + " kbit/s";
  }
  return setup;
}

}  // namespace snipwave::audio
