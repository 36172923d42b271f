#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <lame/lame.h>

#include "AvHandles.h"
#include "OutputFile.h"
#include "Resampler.h"

namespace snipwave::audio {

// An MP3 file written by libmp3lame directly. The first frame of the file is
// LAME's Xing/Info frame; at Finish it is overwritten with the final LAME tag
// (lame_get_lametag_frame), whose encoder delay and end padding let a gapless
// decoder (mpg123 --gapless, libavcodec) return exactly the frames written,
// whatever their count. In variable-bit-rate mode the setup's maxRate bounds
// every audio frame's bit rate. No ID3 tag is written.
class Mp3Output final : public OutputFile {
 public:
  Mp3Output(std::string path, const EncoderSetup& setup, int inRate, int inChannels);
  ~Mp3Output() override;
  Mp3Output(const Mp3Output&) = delete;
  Mp3Output& operator=(const Mp3Output&) = delete;

  void SetInputFormat(int rate, int channels) override;
  void Write(const float* interleaved, std::size_t frames) override;
  void Finish() override;

 private:
  struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  using LamePtr = std::unique_ptr<lame_global_flags, av::AVDeleter<&lame_close>>;

  void Encode(int frames);  // the resampler's current output
  void Put(const unsigned char* bytes, std::size_t size);
  void Fail(const std::string& operation);

  std::string path_;
  EncoderSetup setup_;
  int inRate_, inChannels_;
  LamePtr lame_;
  std::unique_ptr<std::FILE, FileCloser> file_;
  std::unique_ptr<Resampler> resampler_;
  std::vector<unsigned char> encoded_;
  bool finished_ = false;
};

}  // namespace snipwave::audio
