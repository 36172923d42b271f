#include "OutputSetups.h"
#include "Resampler.h"
#include "platform/Error.h"

namespace snipwave::audio {

EncoderSetup MakeWavSetup(const WavSettings& s, int inRate, int inChannels, const std::string& path) {
  EncoderSetup setup;
  setup.container = "wav";
  // No WAV format set: keep the incoming data's own rate and channel count.
  setup.sampleRate = s.sampleRate > 0 ? s.sampleRate : inRate;
  setup.channels = s.channels > 0 ? s.channels : inChannels;
  if (s.bits == 8) {
    setup.codec = "pcm_u8";
  } else if (s.bits == 16) {
    setup.codec = "pcm_s16le";
  } else {
    throw Error::Failed("Cannot create", path, "WAV with " + std::to_string(s.bits) + " bits per sample is not supported (8 or 16)");
  }
  if (setup.sampleRate < 1000 || setup.sampleRate > 384000 || setup.channels < 1 || setup.channels > Resampler::kMaxChannels) {
    throw Error::Failed("Cannot create", path,
                        "WAV at " + std::to_string(setup.sampleRate) + " Hz, " + std::to_string(setup.channels) +
                            " channel(s) is not supported");
  }
  setup.description = "WAV " + std::to_string(setup.sampleRate) + " Hz, " + std::to_string(setup.channels) +
                      " channel(s), " + std::to_string(s.bits) + " bit";
  return setup;
}

}  // namespace snipwave::audio
