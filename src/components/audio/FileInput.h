#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "AvHandles.h"

namespace snipwave::audio {

// How the readers reach a source file: one descriptor, opened as a regular
// file only (a named pipe or a device would block or never end), read with
// pread through an AVIOContext per open input, never by the path again.

// Where one input reads next in the shared descriptor. An input may see only
// a byte range of the file (one link of a chained Ogg file): `base` is where
// its byte 0 lies in the file, `limit` how many bytes it sees (-1: up to the
// file's end).
struct FileCursor {
  int fd = -1;
  std::int64_t position = 0;
  std::int64_t base = 0;
  std::int64_t limit = -1;
};

void FreeCustomIo(AVIOContext* io);
using CustomIoPtr = std::unique_ptr<AVIOContext, av::AVDeleter<&FreeCustomIo>>;

// Opens `path` read-only; throws snipwave::Error ("Cannot open") naming the
// reason, or what the path is when it is no regular file.
int OpenRegularFile(const std::string& path);

// An AVIOContext reading through `cursor`, which must outlive it.
CustomIoPtr MakeFileIo(FileCursor& cursor, const std::string& path);

}  // namespace snipwave::audio
