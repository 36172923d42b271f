extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/samplefmt.h>
}

#include <algorithm>

#include "OutputSetups.h"
#include "Resampler.h"
#include "platform/Error.h"

namespace snipwave::audio {

namespace {

// FLAC, ALAC and AAC carry at most eight channels (7.1).
constexpr int kMaxCodecChannels = 8;

void RequireFormat(const char* type, int rate, int channels, const std::string& path) {
  if (rate < 1000 || rate > 384000 || channels < 1 || channels > std::min(Resampler::kMaxChannels, kMaxCodecChannels)) {
    throw Error::Failed("Cannot create", path,
                        std::string(type) + " at " + std::to_string(rate) + " Hz, " + std::to_string(channels) +
                            " channel(s) is not supported (1000 to 384000 Hz, 1 to " +
                            std::to_string(kMaxCodecChannels) + " channels)");
  }
}

void RequireBits(const char* type, int bits, const std::string& path) {
  if (bits != 16 && bits != 24) {
    throw Error::Failed("Cannot create", path,
                        std::string(type) + " with " + std::to_string(bits) + " bits per sample is not supported (16 or 24)");
  }
}

std::string FormatText(const char* type, int rate, int channels, int bits) {
  return std::string(type) + " " + std::to_string(rate) + " Hz, " + std::to_string(channels) + " channel(s), " +
         std::to_string(bits) + " bit";
}

// The lowest rate the AAC encoder takes that is at least `rate` (no content
// lost to resampling), else its highest (96000 Hz); `rate` itself when the
// encoder lists none.
int AacRateFor(int rate) {
  const AVCodec* codec = avcodec_find_encoder_by_name("aac");
  if (!codec || !codec->supported_samplerates) return rate;
  int higher = 0, highest = 0;
  for (const int* r = codec->supported_samplerates; *r != 0; ++r) {
    if (*r >= rate && (higher == 0 || *r < higher)) higher = *r;
    highest = std::max(highest, *r);
  }
  return higher != 0 ? higher : highest;
}

}  // namespace

EncoderSetup MakeFlacSetup(const FlacSettings& s, int inRate, int inChannels, const std::string& path) {
  RequireFormat("FLAC", inRate, inChannels, path);
  RequireBits("FLAC", s.bits, path);
  if (s.compressionLevel < 0 || s.compressionLevel > 8) {
    throw Error::Failed("Cannot create", path,
                        "FLAC compression level " + std::to_string(s.compressionLevel) + " is outside 0 to 8");
  }
  EncoderSetup setup;
  setup.container = "flac";
  setup.codec = "flac";
  setup.sampleRate = inRate;
  setup.channels = inChannels;
  setup.compressionLevel = s.compressionLevel;
  setup.sampleFormat = s.bits == 16 ? AV_SAMPLE_FMT_S16 : AV_SAMPLE_FMT_S32;
  setup.bitsPerRawSample = s.bits == 16 ? 0 : 24;
  setup.description = FormatText("FLAC", inRate, inChannels, s.bits) + ", level " + std::to_string(s.compressionLevel);
  return setup;
}

EncoderSetup MakeM4aSetup(const M4aSettings& s, int inRate, int inChannels, const std::string& path) {
  EncoderSetup setup;
  setup.container = "ipod";  // the .m4a flavour of MP4
  setup.sampleRate = inRate;
  setup.channels = inChannels;
  // The sample table before the audio: players and editors can start
  // reading without seeking to the end of the file first.
  // The movie time scale is the sample rate: the edit list's segment
  // duration (the audio's length) is then exact to the frame, not rounded to
  // the muxer's default of milliseconds.
  setup.muxerOptions = {{"movflags", "+faststart"}, {"movie_timescale", std::to_string(inRate)}};
  if (s.alac) {
    RequireFormat("ALAC", inRate, inChannels, path);
    RequireBits("ALAC", s.alacBits, path);
    setup.codec = "alac";
    setup.sampleFormat = s.alacBits == 16 ? AV_SAMPLE_FMT_S16P : AV_SAMPLE_FMT_S32P;
    setup.bitsPerRawSample = s.alacBits == 16 ? 0 : 24;
    setup.description = FormatText("M4A (ALAC)", inRate, inChannels, s.alacBits);
    return setup;
  }
  RequireFormat("AAC", inRate, inChannels, path);
  if (s.aacKbps < 32 || s.aacKbps > 320) {
    throw Error::Failed("Cannot create", path, "AAC at " + std::to_string(s.aacKbps) + " kbit/s is outside 32 to 320");
  }
  setup.codec = "aac";
  setup.bitRate = static_cast<std::int64_t>(s.aacKbps) * 1000;
  // AAC has a fixed set of rates (8000 ... 96000 Hz): any other is
  // resampled to the next one up, so nothing of the source's band is lost.
  setup.sampleRate = AacRateFor(inRate);
  setup.muxerOptions[1].second = std::to_string(setup.sampleRate);
  setup.description = "M4A (AAC) " + std::to_string(setup.sampleRate) + " Hz" +
                      (setup.sampleRate != inRate ? " (resampled from " + std::to_string(inRate) + " Hz)" : "") +
                      ", " + std::to_string(inChannels) + " channel(s), " + std::to_string(s.aacKbps) + " kbit/s";
  return setup;
}

}  // namespace snipwave::audio
