#include <algorithm>

#include "OutputSetups.h"
#include "platform/Error.h"

namespace snipwave::audio {

EncoderSetup MakeOpusSetup(const OpusSettings& s, int inChannels, const std::string& path) {
  if (s.kbps < 6 || s.kbps > 510) {
    throw Error::Failed("Cannot create", path, "Opus at " + std::to_string(s.kbps) + " kbit/s is outside 6 to 510");
  }
  if (s.channels < 0 || s.channels > 2) {
    throw Error::Failed("Cannot create", path, "Opus with " + std::to_string(s.channels) + " channels is not supported (1 or 2)");
  }
  // Exactness comes from libavformat/libavcodec as they are: the libopus
  // wrapper puts its lookahead (312 frames at 48 kHz) into OpusHead's
  // pre-skip and gives the last packet the duration of the frames it holds,
  // and the Ogg muxer makes the final granule position pre-skip + frames, so
  // that opusdec returns exactly what was written (FormatWriterTest checks).
  EncoderSetup setup;
  setup.container = "opus";
  setup.codec = "libopus";
  setup.sampleRate = 48000;
  setup.channels = s.channels > 0 ? s.channels : (inChannels == 1 ? 1 : 2);
  // libopus takes at most 256 kbit/s a channel; a mono output of a higher
  // setting (a stereo setting meeting a mono source) gets that, which is
  // already transparent, rather than an error on every mono file.
  const int kbps = std::min(s.kbps, 256 * setup.channels);
  setup.bitRate = static_cast<std::int64_t>(kbps) * 1000;
  setup.codecOptions = {{"vbr", s.variableBitRate ? "on" : "off"}, {"application", s.speech ? "voip" : "audio"}};
  setup.description = "Opus 48000 Hz, " + std::to_string(setup.channels) + " channel(s), " + std::to_string(kbps) +
                      " kbit/s " + (s.variableBitRate ? "VBR" : "CBR") + (s.speech ? ", speech" : "");
  return setup;
}

}  // namespace snipwave::audio
