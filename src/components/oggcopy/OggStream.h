#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "OggCopy.h"
#include "OggPageWalk.h"
#include "components/audio/UniqueFd.h"

namespace snipwave::oggcopy {

// One audio packet of the source: where its bytes lie and the frames its
// decode yields when every packet is decoded from the stream's first (the
// decode timeline below). Vorbis: 0 for the first audio packet, else
// previous block size / 4 + this block size / 4; Opus: its TOC's frames.
struct AudioPacket {
  std::uint32_t firstPiece = 0;  // index into OggStream::pieces
  std::uint32_t pieceCount = 0;
  std::uint32_t size = 0;        // bytes
  std::uint32_t frames = 0;      // decoded frames
  std::int64_t start = 0;        // first decoded frame on the decode timeline
  std::int64_t End() const { return start + frames; }
};

// The packets of a single-link Ogg Vorbis or Opus stream, and where the
// reader's frames lie on its decode timeline: reader frame f is timeline
// frame f + origin, for f in [0, length).
struct OggStream {
  audio::UniqueFd file;  // the source, open for reading
  Codec codec = Codec::kVorbis;
  int sampleRate = 0;  // Hz; Opus: 48000
  int channels = 0;
  // Header packets as the source has them: Vorbis identification, comment,
  // setup; Opus: OpusHead, OpusTags.
  std::vector<std::vector<std::uint8_t>> headers;
  std::vector<PacketPiece> pieces;
  std::vector<AudioPacket> packets;
  std::int64_t origin = 0;  // timeline frame of reader frame 0
  std::int64_t length = 0;  // reader frames
};

// Reads the single-link Vorbis or Opus stream of the file open at `fd`
// (`size` bytes): its headers, its packets with their decoded frames, and
// where the audio reader's frames lie on the decode timeline, trimmed from
// the granule positions as the reader trims them (libvorbisfile's rules for
// Vorbis, opusdec's for Opus). False with `reason` set to a clause when its
// packets cannot be copied.
bool ReadOggStream(int fd, std::int64_t size, OggStream* stream, std::string* reason);

// The OpusHead fields that shape the decoder: channels, mapping family and,
// for families other than 0, the stream counts and the channel mapping.
std::vector<std::uint8_t> OpusDecoderSetup(const std::vector<std::uint8_t>& opusHead);

}  // namespace snipwave::oggcopy
