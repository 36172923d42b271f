#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "AvHandles.h"
#include "EncoderSetup.h"
#include "OutputFile.h"
#include "Resampler.h"

namespace snipwave::audio {

// Opens the encoder for a setup on a codec context (not attached to a file).
// Shared by the writer and by the format checks, so that a check answers for
// exactly what the writer would do. Throws snipwave::Error.
av::CodecContextPtr OpenEncoder(const EncoderSetup& setup, const std::string& path, bool globalHeader);

// An output file written through libavcodec and libavformat (WAV, WMA, OGG).
// Incoming interleaved float32 frames (at the input rate and channel count)
// are converted to the encoder's rate, channels and sample format, gathered in
// an AVAudioFifo into the encoder's fixed frame size, encoded and muxed.
// Finish() drains resampler, fifo and encoder and writes the trailer.
class OutputEncoder final : public OutputFile {
 public:
  // Creates (or replaces) the file; throws snipwave::Error and leaves no file
  // behind when it cannot.
  OutputEncoder(std::string path, const EncoderSetup& setup, int inRate, int inChannels);
  ~OutputEncoder() override;
  OutputEncoder(const OutputEncoder&) = delete;
  OutputEncoder& operator=(const OutputEncoder&) = delete;

  void SetInputFormat(int rate, int channels) override;
  void Write(const float* interleaved, std::size_t frames) override;
  void Finish() override;

  const EncoderSetup& Setup() const { return setup_; }

 private:
  void PushConverted(int frames);
  void EncodeFromFifo(bool final);
  void SendFrame(AVFrame* frame);
  void WriteAlacVerbatim(int frames);  // frame_'s `frames` samples as the last packet
  void DrainPackets();

  std::string path_;
  EncoderSetup setup_;
  int inRate_, inChannels_;
  av::OutputFormatPtr format_;
  av::CodecContextPtr codec_;
  AVStream* stream_ = nullptr;
  std::unique_ptr<Resampler> resampler_;
  av::AudioFifoPtr fifo_;
  av::FramePtr frame_;
  av::PacketPtr packet_;
  int frameSize_ = 0;
  bool variableFrameSize_ = false;  // PCM: no fixed frame size, no fifo
  std::int64_t nextPts_ = 0;
  std::int64_t packetsWritten_ = 0;
  bool finished_ = false;
};

}  // namespace snipwave::audio
