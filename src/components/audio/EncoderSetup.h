#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace snipwave::audio {

// Everything an output file is made with: container, codec and the codec's
// parameters, already in libavcodec's terms. Built from the writer's settings
// by the Make*Setup functions (OutputSetups.h).
struct EncoderSetup {
  std::string container;  // libavformat muxer: "mp3", "wav", "asf", "ogg", "flac", "opus", "ipod"
  std::string codec;      // libavcodec encoder: "libmp3lame", "pcm_s16le", "flac", "libopus", "aac", ...
  int sampleRate = 44100;  // Hz
  int channels = 2;
  std::int64_t bitRate = 0;  // bit/s, 0 = not used
  std::int64_t minRate = 0;  // bit/s, managed bit rate bounds (Vorbis)
  std::int64_t maxRate = 0;
  bool qualityMode = false;      // variable bit rate steered by globalQuality
  double quality = 0;            // in the codec's own scale (LAME -V, Vorbis -q)
  int compressionLevel = -1;     // LAME -q, FLAC level; -1 = codec default
  // The encoder's sample format (an AVSampleFormat); -1 = float where the
  // codec takes it, else its first choice.
  int sampleFormat = -1;
  int bitsPerRawSample = 0;  // significant bits in a wider sample format (24 in s32); 0 = all
  // Private options of the encoder ("vbr", "application") and of the muxer
  // ("movflags"), set by name when they are opened.
  std::vector<std::pair<std::string, std::string>> codecOptions;
  std::vector<std::pair<std::string, std::string>> muxerOptions;
  // The decoder throws away the first encoded frame (wmav2 does): one frame
  // of silence is encoded ahead of the audio, so the audio starts the stream.
  bool firstFrameDiscarded = false;
  std::string description;       // for messages: "MP3 44100 Hz, 2 channels, 128 kbit/s"
};

}  // namespace snipwave::audio
