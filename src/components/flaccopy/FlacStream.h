#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

#include "FlacFormat.h"

namespace snipwave::flaccopy {

// One frame of a native FLAC file: where its bytes are and which samples it
// decodes to.
struct FlacFrame {
  std::int64_t offset = 0;       // bytes from the file's start to the sync code
  int size = 0;                  // bytes, header to CRC-16 included
  std::int64_t firstSample = 0;  // sample frames before it in the stream
  int blockSize = 0;             // sample frames it decodes to
};

// The frame layout of a native FLAC file.
struct FlacStream {
  StreamInfo info;
  std::vector<FlacFrame> frames;  // in stream order, numbered without gaps
  std::int64_t length = 0;        // sample frames: the frames' block sizes added up

  // Index of the frame holding sample `position` (0 <= position < length).
  std::size_t FrameAt(std::int64_t position) const;
};

// Reads the layout of the native FLAC file at `path`: the metadata blocks
// (after an ID3v2 tag, if any), then every frame, each one's end being where
// the next header's CRC-8 checks, its coded number follows on, and the CRC-16
// of the bytes in between checks. nullptr with `reason` set to a clause ("it
// is an Ogg FLAC file") when the file is no native FLAC file whose frames can
// be copied: unreadable, damaged, or holding samples the edge encoder cannot
// write (only 16 and 24 bits per sample).
std::unique_ptr<FlacStream> ScanFlacStream(const QString& path, QString* reason);

}  // namespace snipwave::flaccopy
