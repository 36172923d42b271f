#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace snipwave::audio {

// The Xing/Info header an MP3 encoder writes into a silent first frame, and
// the LAME extension after it: the frame count of the audio that follows and
// the encoder's delay and end padding (in frames). The frame holding it is
// no audio and decodes to silence.
struct Mp3InfoTag {
  std::int64_t frames = 0;   // audio frames after the tag frame; 0 = not given
  int samplesPerFrame = 1152;
  bool hasGapless = false;   // delay and padding below are valid
  int delay = 0;             // encoder delay at the start
  int padding = 0;           // encoder padding at the end
};

// Reads the tag from one whole MPEG audio frame (4-byte header included);
// nullopt when the frame holds none.
std::optional<Mp3InfoTag> ParseMp3InfoTag(const std::uint8_t* frame, std::size_t size);

// Bytes of the MPEG audio Layer III frame whose 4-byte header is at
// `header`, or 0 when it is no valid Layer III header.
int Mp3FrameBytes(const std::uint8_t* header);

// True when `data` (the start of a file, or all of it when `whole`) holds a
// run of MPEG audio Layer III frames, each header where the previous frame
// ends: at least eight, or at least two that end exactly at the end of the
// file (an ID3v1 tag may follow). Tells a very short MP3 file, which the
// format probe scores low, from stray bytes that merely look like a header.
bool HoldsMp3Frames(const std::uint8_t* data, std::size_t size, bool whole);

// True when `data` (from the first byte after any ID3v2 tag) starts, within
// its first 64 KiB, a run of three free-format MPEG audio frames: headers
// with bit rate index 0 (the bit rate left to the decoder to find), alike in
// version, layer, sample rate and channel mode, at one spacing (give or take
// the padding byte). libavcodec cannot decode such a stream.
bool HoldsFreeFormatMp3(const std::uint8_t* data, std::size_t size);

// The decoder delay of MPEG-1/2 Layer III that gapless trimming adds to the
// encoder delay (libavcodec and mpg123 alike).
constexpr int kMp3DecoderDelay = 529;

}  // namespace snipwave::audio
