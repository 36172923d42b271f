#include "OutputSetups.h"
#include "platform/Error.h"

namespace snipwave::audio {

EncoderSetup MakeOggSetup(const OggSettings& s, const std::string& path) {
  EncoderSetup setup;
  setup.container = "ogg";
  setup.codec = "libvorbis";
  setup.sampleRate = s.sampleRate;
  setup.channels = s.channels;
  const std::string format = std::to_string(s.sampleRate) + " Hz, " + std::to_string(s.channels) + " channel(s)";
  if (s.quality >= 0) {
    // Quality mode: 0 (best) ... 1000 (worst) maps linearly onto Vorbis -q 10 ... -1.
    if (s.quality > 1000) {
      throw Error::Failed("Cannot create", path, "OGG quality " + std::to_string(s.quality) + " is outside 0 to 1000");
    }
    setup.qualityMode = true;
    setup.quality = 10.0 - 11.0 * s.quality / 1000.0;
    setup.description = "OGG " + format + ", quality " + std::to_string(s.quality);
  } else {
    // Bit rate: the nominal rate is what the file gets on average. A minimum
    // or maximum bounds it only on its own side of the nominal (a minimum
    // above it or a maximum below it would override the nominal, so they
    // are left out); libvorbis enforces the bounds that remain.
    const bool withMin = s.minKbps > 0 && s.minKbps <= s.nominalKbps;
    const bool withMax = s.maxKbps >= s.nominalKbps;
    setup.bitRate = static_cast<std::int64_t>(s.nominalKbps) * 1000;
    setup.minRate = withMin ? static_cast<std::int64_t>(s.minKbps) * 1000 : 0;
    setup.maxRate = withMax ? static_cast<std::int64_t>(s.maxKbps) * 1000 : 0;
    setup.description = "OGG " + format + ", " + std::to_string(s.nominalKbps) + " kbit/s";
    if (withMin && withMax) {
      setup.description += " (" + std::to_string(s.minKbps) + " to " + std::to_string(s.maxKbps) + ")";
    } else if (withMin) {
      setup.description += " (at least " + std::to_string(s.minKbps) + ")";
    } else if (withMax) {
      setup.description += " (at most " + std::to_string(s.maxKbps) + ")";
    }
  }
  return setup;
}

}  // namespace snipwave::audio
