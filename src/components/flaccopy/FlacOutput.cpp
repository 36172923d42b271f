#include "FlacOutput.h"

#include <algorithm>
#include <limits>

#include "platform/Error.h"

extern "C" {
#include <libavutil/md5.h>
#include <libavutil/mem.h>
}

namespace snipwave::flaccopy {
namespace {

constexpr std::size_t kFlushBytes = 1 << 20;  // buffered output before it goes to the file
constexpr int kPaddingSize = 8192;            // bytes of PADDING for tags added afterwards
constexpr std::uint8_t kStreamInfoHeader[4] = {0x00, 0x00, 0x00, kStreamInfoSize};
constexpr std::uint8_t kPaddingType = 1;

}  // namespace

FlacOutput::FlacOutput(const QString& path, const StreamInfo& setup)
    : file_(path), path_(path), info_(setup), md5_(av_md5_alloc(), &av_free) {
  if (!md5_) throw Error::Failed("Writing", path.toStdString(), "out of memory");
  av_md5_init(md5_.get());
  info_.minBlockSize = std::numeric_limits<std::uint16_t>::max();
  info_.maxBlockSize = 0;
  info_.minFrameSize = (1 << 24) - 1;
  info_.maxFrameSize = 0;
  info_.totalSamples = 0;
  if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate)) Fail("Creating");
  buffer_ = {'f', 'L', 'a', 'C'};
  buffer_.insert(buffer_.end(), std::begin(kStreamInfoHeader), std::end(kStreamInfoHeader));
  buffer_.resize(buffer_.size() + kStreamInfoSize);
  buffer_.push_back(0x80 | kPaddingType);
  buffer_.push_back(static_cast<std::uint8_t>(kPaddingSize >> 16));
  buffer_.push_back(static_cast<std::uint8_t>(kPaddingSize >> 8));
  buffer_.push_back(static_cast<std::uint8_t>(kPaddingSize));
  buffer_.resize(buffer_.size() + kPaddingSize);
}

FlacOutput::~FlacOutput() = default;

void FlacOutput::Fail(const char* operation) {
  throw Error::Failed(operation, path_.toStdString(), file_.errorString().toStdString());
}

void FlacOutput::AppendFrame(const std::uint8_t* frame, std::size_t size, const FrameHeader& header,
                             const std::uint8_t* pcm) {
  const std::vector<std::uint8_t> head = RenumberedHeader(frame, header, static_cast<std::uint64_t>(samples_));
  const std::uint8_t* body = frame + header.size;
  const std::size_t bodySize = size - static_cast<std::size_t>(header.size) - 2;
  const std::uint16_t crc = Crc16(body, bodySize, Crc16(head.data(), head.size()));
  const std::size_t frameStart = buffer_.size();
  buffer_.insert(buffer_.end(), head.begin(), head.end());
  buffer_.insert(buffer_.end(), body, body + bodySize);
  buffer_.push_back(static_cast<std::uint8_t>(crc >> 8));
  buffer_.push_back(static_cast<std::uint8_t>(crc));
  const int written = static_cast<int>(buffer_.size() - frameStart);
  info_.minFrameSize = std::min(info_.minFrameSize, written);
  info_.maxFrameSize = std::max(info_.maxFrameSize, written);
  if (frames_ > 0) info_.minBlockSize = std::min(info_.minBlockSize, lastBlock_);
  info_.maxBlockSize = std::max(info_.maxBlockSize, header.blockSize);
  lastBlock_ = header.blockSize;
  ++frames_;

  av_md5_update(md5_.get(), pcm,
                static_cast<std::size_t>(header.blockSize) * static_cast<std::size_t>(info_.channels) *
                    static_cast<std::size_t>(SampleWidth(info_.bitsPerSample)));
  samples_ += header.blockSize;
  if (buffer_.size() >= kFlushBytes) Flush();
}

void FlacOutput::Flush() {
  std::size_t done = 0;
  while (done < buffer_.size()) {
    const qint64 n = file_.write(reinterpret_cast<const char*>(buffer_.data() + done),
                                 static_cast<qint64>(buffer_.size() - done));
    if (n <= 0) Fail("Writing");
    done += static_cast<std::size_t>(n);
  }
  buffer_.clear();
}

void FlacOutput::Finish() {
  Flush();
  if (frames_ == 0) {
    info_.minBlockSize = info_.maxBlockSize = kMinBlockSize;
    info_.minFrameSize = info_.maxFrameSize = 0;
  } else if (frames_ == 1) {
    info_.minBlockSize = lastBlock_;
  }
  info_.totalSamples = samples_;
  av_md5_final(md5_.get(), info_.md5);
  std::uint8_t body[kStreamInfoSize];
  WriteStreamInfo(info_, body);
  if (!file_.flush() || !file_.seek(8) || file_.write(reinterpret_cast<const char*>(body), kStreamInfoSize) != kStreamInfoSize ||
      !file_.flush())
    Fail("Writing");
  file_.close();
  if (file_.error() != QFileDevice::NoError) Fail("Writing");
}

}  // namespace snipwave::flaccopy
