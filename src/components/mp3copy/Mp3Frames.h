#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "components/audio/Mp3InfoTag.h"

namespace snipwave::mp3copy {

// One MPEG audio Layer III frame as it sits in a file or a buffer.
// Layer III keeps its main data (scale factors and Huffman codes) in a byte
// stream of its own that runs through the frames' "slots" (what follows the
// header, the optional CRC and the side information): a frame's main data
// starts `mainDataBegin` bytes before its own slot, in earlier frames'
// slots (the bit reservoir), and ends within its own slot.
struct Mp3Frame {
  std::int64_t offset = 0;  // byte offset of the 4-byte header
  int size = 0;             // bytes, header included
  int slotOffset = 0;       // bytes from the header to the slot
  int mainDataBegin = 0;    // bytes of main data before the slot
  int mainDataBits = 0;     // main data of this frame, in bits (sum of part2_3_length)
  // Window shapes at the frame's edges, all channels: the first granule opens
  // with a long window's rise (block type 0 or 1), the last closes with a
  // long window's fall (type 0 or 3). A decoder's overlap-add cancels its
  // aliasing only between matching halves, so a joint to a frame of another
  // stream needs long halves on both sides.
  bool startsLong = true;
  bool endsLong = true;

  int SlotBytes() const { return size - slotOffset; }
  // Bytes of this frame's main data that lie in its own slot.
  int MainBytesInSlot() const;
};

// Reads the frame at `data` (4-byte header first); nullopt when it is no
// valid Layer III frame or `size` cannot hold it. `offset` is stored as is.
std::optional<Mp3Frame> ParseMp3Frame(const std::uint8_t* data, std::size_t size, std::int64_t offset);

// The bytes per frame of the header at `header` with its bit rate index
// replaced by `bitrateIndex` and no padding slot; 0 when invalid.
int Mp3FrameBytesAtBitrate(const std::uint8_t* header, int bitrateIndex);

// The audio frames of an MP3 file and the numbers that tie them to the
// decoded stream the program's reader gives (a gapless decode): decoded frame
// s is sample s + frontSkip of the concatenated output of `frames`.
struct Mp3Stream {
  int sampleRate = 0;
  int channels = 0;
  int samplesPerFrame = 0;  // 1152 (MPEG-1) or 576 (MPEG-2 and 2.5)
  // Audio frames only (the Xing/Info frame is left out), with their layout:
  // offset, size and slot. Their side information is not read here (a long
  // file has tens of thousands of frames, a copy needs it for a few): ask
  // ParseMp3Frame for it.
  std::vector<Mp3Frame> frames;
  std::optional<audio::Mp3InfoTag> infoTag;
  std::int64_t frontSkip = 0;  // encoder delay + decoder delay; 0 without a gapless tag
  std::int64_t length = 0;     // decoded sample frames
  bool constantBitrate = true;
  int bitrateKbps = 0;          // the audio frames' bit rate; with VBR their average
  // What the LAME tag says of the encoding: the -V quality of a VBR file
  // (-1: none) or the target of an ABR file (0: none).
  int lameVbrQuality = -1;
  int lameAverageKbps = 0;
  std::int64_t dataEnd = 0;     // byte just after the last audio frame
  // Whether every byte after the first audio frame up to the file's end is a
  // frame or a trailing tag (ID3v1, APE, Lyrics). False for a damaged file.
  bool whole = true;
};

// Reads the frame layout of the MP3 file `bytes` (all of it). Throws
// snipwave::Error naming `path` when it holds no run of Layer III frames.
Mp3Stream ReadMp3Stream(const std::uint8_t* bytes, std::size_t size, const std::string& path);

}  // namespace snipwave::mp3copy
