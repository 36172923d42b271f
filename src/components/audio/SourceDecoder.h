#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "AvHandles.h"
#include "OutputCountModel.h"
#include "PacketIndex.h"

namespace snipwave::audio {

// One source file, decoded exactly: its length comes from a demux scan (no
// decoding), reads yield interleaved float32 frames at the file's own rate
// and channel count, and a seek lands on the exact frame a continuous decode
// from the start would give there.
//
// Seeking: demuxer seeks are not sample-exact (an MP3 decoder needs the bit
// reservoir and the previous granule; ASF timestamps jitter by ~1 ms; WMA can
// land after the target), so the decoder is moved at least half a second
// early, the packet it landed on is recognised in the scan's index (by byte
// position for MP3/WAV, by timestamp for Ogg/ASF), and decoding runs forward,
// dropping warm-up output, to the exact frame. A landing that cannot be
// recognised or that is too late is retried earlier, and as a last resort the
// file is decoded from its start.
class SourceDecoder {
 public:
  // Opens and scans the file; throws snipwave::Error naming the path and the
  // reason when it is not a readable MP3, WAV, WMA or OGG file.
  explicit SourceDecoder(std::string path);
  ~SourceDecoder();

  int SampleRate() const { return sampleRate_; }
  int Channels() const { return channels_; }
  std::int64_t LengthFrames() const { return index_.TotalFrames(); }
  std::int64_t Position() const { return position_; }

  // Appends up to `frames` frames to `out`; returns how many (0 at the end).
  std::size_t Read(std::size_t frames, std::vector<float>& out);
  // Moves the read position to `frame` (clamped to 0 .. LengthFrames()).
  void Seek(std::int64_t frame);

 private:
  struct Input;
  enum class Step { kDecoded, kEnd };

  std::unique_ptr<Input> OpenInput() const;
  av::CodecContextPtr OpenDecoder(const AVStream& stream) const;
  void Scan();
  void Rewind();
  void EnsureInput();
  std::int64_t KeyOf(const AVPacket& packet) const;
  // Decodes one packet into raw frames; returns false at the end of the input.
  bool ReadPacket(AVPacket& packet);
  int DecodePacket(AVPacket* packet);  // fills decoded_, returns their frame count
  Step DecodeNextContinuous();
  bool TrySeek(std::size_t startPacket, std::int64_t target);
  void DecodeForwardTo(std::int64_t target);
  void AppendDecoded(int skipFront, int skipBack);
  std::size_t PendingFrames() const;

  std::string path_;
  bool keyIsPosition_ = true;
  int sampleRate_ = 0;
  int channels_ = 0;
  PacketIndex index_;
  std::unique_ptr<Input> input_;
  std::vector<av::FramePtr> decoded_;
  int decodedCount_ = 0;
  std::vector<float> pending_;  // decoded frames not yet handed out
  std::size_t pendingRead_ = 0;  // elements of pending_ already handed out
  std::int64_t position_ = 0;   // stream frame of the next frame handed out
  std::size_t nextPacket_ = 0;  // index of the next packet the demuxer yields
  bool inputEnded_ = false;
};

}  // namespace snipwave::audio
