#pragma once

#include <QFile>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace snipwave::flaccopy {

// A file read front to back through a window of its bytes, so that a long
// source is never held whole. Offsets are bytes from the file's start.
class SourceBytes {
 public:
  // Throws snipwave::Error naming `path` when it cannot be opened.
  explicit SourceBytes(const QString& path);

  std::int64_t Size() const { return size_; }

  // Bytes [offset, offset + count): the pointer stays valid until the next
  // call; `available` tells how many there are (fewer only at the file's
  // end). A call may drop the bytes before `offset`, so offsets only move
  // forward from one call's `offset` on. Throws snipwave::Error on a read
  // failure.
  const std::uint8_t* Bytes(std::int64_t offset, std::size_t count, std::size_t* available);

 private:
  QFile file_;
  QString path_;
  std::int64_t size_ = 0;
  std::vector<std::uint8_t> window_;
  std::int64_t windowStart_ = 0;  // file offset of window_[0]
};

}  // namespace snipwave::flaccopy
