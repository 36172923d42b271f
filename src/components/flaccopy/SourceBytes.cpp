#include "SourceBytes.h"

#include <algorithm>
#include <cstring>

#include "platform/Error.h"

namespace snipwave::flaccopy {
namespace {
constexpr std::size_t kReadChunk = 1 << 20;  // bytes read from the file at a time
}

SourceBytes::SourceBytes(const QString& path) : file_(path), path_(path) {
  if (!file_.open(QIODevice::ReadOnly))
    throw Error::Failed("Opening", path.toStdString(), file_.errorString().toStdString());
  size_ = file_.size();
}

const std::uint8_t* SourceBytes::Bytes(std::int64_t offset, std::size_t count, std::size_t* available) {
  const std::int64_t windowEnd = windowStart_ + static_cast<std::int64_t>(window_.size());
  const std::int64_t wantedEnd = std::min<std::int64_t>(offset + static_cast<std::int64_t>(count), size_);
  if (offset < windowStart_ || offset > windowEnd) {
    // Out of the window: start a new one there.
    window_.clear();
    windowStart_ = offset;
    if (!file_.seek(offset)) throw Error::Failed("Reading", path_.toStdString(), file_.errorString().toStdString());
  } else if (wantedEnd > windowEnd && offset > windowStart_) {
    // Keep what is still wanted, drop what lies before it.
    const auto drop = static_cast<std::size_t>(offset - windowStart_);
    window_.erase(window_.begin(), window_.begin() + static_cast<std::ptrdiff_t>(drop));
    windowStart_ = offset;
  }
  std::int64_t have = windowStart_ + static_cast<std::int64_t>(window_.size());
  if (have < wantedEnd) {
    const auto need = static_cast<std::size_t>(std::max<std::int64_t>(wantedEnd - have, kReadChunk));
    const std::size_t old = window_.size();
    window_.resize(old + need);
    const qint64 got = file_.read(reinterpret_cast<char*>(window_.data() + old), static_cast<qint64>(need));
    if (got < 0) throw Error::Failed("Reading", path_.toStdString(), file_.errorString().toStdString());
    window_.resize(old + static_cast<std::size_t>(got));
    have = windowStart_ + static_cast<std::int64_t>(window_.size());
  }
  const std::int64_t end = std::min(have, offset + static_cast<std::int64_t>(count));
  *available = end > offset ? static_cast<std::size_t>(end - offset) : 0;
  return window_.data() + (offset - windowStart_);
}

}  // namespace snipwave::flaccopy
