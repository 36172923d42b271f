#pragma once

#include <QFile>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "FlacFormat.h"

struct AVMD5;

namespace snipwave::flaccopy {

// A native FLAC file being written frame by frame: "fLaC", a STREAMINFO block
// (filled in by Finish), a small PADDING block for the tags written later,
// then the frames, each renumbered for the variable-blocksize strategy so
// that blocks of any size may follow each other. Throws snipwave::Error
// naming the path on a failed write.
class FlacOutput {
 public:
  // `setup`: the rate, channels and bits per sample of every frame to come.
  FlacOutput(const QString& path, const StreamInfo& setup);
  ~FlacOutput();
  FlacOutput(const FlacOutput&) = delete;
  FlacOutput& operator=(const FlacOutput&) = delete;

  // Appends the frame at `frame` (`size` bytes, header to CRC-16; `header` as
  // parsed from it), numbered from the output's current sample on: only its
  // header and CRCs change. `pcm`: what it decodes to (header.blockSize
  // sample frames, in the MD5's layout: see PcmBytes), for the output's MD5.
  void AppendFrame(const std::uint8_t* frame, std::size_t size, const FrameHeader& header, const std::uint8_t* pcm);

  std::int64_t Samples() const { return samples_; }  // sample frames written

  // Writes the STREAMINFO block (sizes, total samples, MD5) and closes the file.
  void Finish();

 private:
  void Flush();
  [[noreturn]] void Fail(const char* operation);

  QFile file_;
  QString path_;
  StreamInfo info_;
  std::vector<std::uint8_t> buffer_;  // bytes not yet handed to the file
  std::unique_ptr<AVMD5, void (*)(void*)> md5_;
  std::int64_t samples_ = 0;
  std::int64_t frames_ = 0;
  int lastBlock_ = 0;  // the latest frame's block size, not counted in the minimum unless it stays the only one
};

}  // namespace snipwave::flaccopy
