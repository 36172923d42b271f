#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AvHandles.h"
#include "Mp3InfoTag.h"
#include "OggChain.h"
#include "OggLayout.h"
#include "ScanCache.h"
#include "OutputCountModel.h"
#include "PacketIndex.h"

namespace snipwave::audio {

// One source file, decoded exactly: reads yield interleaved float32 frames at
// the file's own rate and channel count, and a seek lands on the exact frame a
// continuous decode from the start would give there.
//
// Length: for plain PCM in a WAV file it is the data chunk's byte count (cut
// to what the file really holds when it is truncated) over the block size,
// and seeks go straight to the frame's byte offset; PCM decoding has no state,
// so both are exact without a scan. Every other source gets its length from a
// demux scan (no decoding) whose packet index is kept in the per-process
// ScanCache, so reopening an unchanged file costs no second scan.
//
// Seeking: demuxer seeks are not sample-exact (an MP3 decoder needs the bit
// reservoir and the previous granule; ASF timestamps jitter by ~1 ms; WMA can
// land after the target), so the decoder is moved at least half a second
// early, the packet it landed on is recognised in the scan's index (by byte
// position for MP3/WAV/AIFF/ADTS, by timestamp for Ogg/ASF/FLAC/MP4), and
// decoding runs forward, dropping warm-up output, to the exact frame. A
// landing that cannot be recognised or that is too late is retried earlier,
// and as a last resort the file is decoded from its start. (AAC's noise
// substitution draws on a random generator that runs from the decoder's
// start: after a seek the substituted noise differs from a continuous
// decode's, some 100 dB below full scale; every frame is in its place.)
//
// Ends: an MP3's LAME tag, Ogg granule positions, an MP4 edit list or, in an
// MP4 without one, iTunes' gapless comment (iTunSMPB) trim the encoder's
// delay and padding; FLAC, ALAC, PCM and ADPCM decode to their exact length.
//
// Trust: the file is opened once, as a regular file only (a pipe or device
// would block or never end), and every later open reads through that one
// descriptor. A packet the decoder rejects yields silence of the length the
// scan predicted for it, so the length, continuous reads and seeks always
// agree; DamagedFrames() counts what was replaced. A read never invents
// audio for data that is gone: when the file shrinks while open, Read
// returns fewer frames than asked before LengthFrames() is reached.
class SourceDecoder {
 public:
  // Opens and scans the file; throws snipwave::Error naming the path and the
  // reason when it is not a readable MP3, WAV, WMA, OGG, FLAC, AIFF, M4A
  // (AAC or ALAC) or ADTS AAC file (a free-format MP3 is named as such:
  // libavcodec's MP3 decoder rejects frames without a bit rate).
  // A chained Ogg file is read as one source, every link in order (see
  // OggChain); Links() then names them.
  explicit SourceDecoder(std::string path);
  // One link of a chained Ogg file: bytes `range` of the already open `fd`
  // (not closed here), which must outlive the decoder. With the whole
  // file's identity the link's scan is cached (and found again) under it.
  SourceDecoder(std::string path, int fd, const OggLinkRange& range,
                const std::optional<FileIdentity>& fileIdentity = std::nullopt);
  ~SourceDecoder();

  int SampleRate() const { return sampleRate_; }
  int Channels() const { return channels_; }
  // Bits per sample of a lossless source: FLAC's, ALAC's, integer PCM's own
  // depth, 24 for float PCM (its mantissa); 0 for a lossy codec.
  int BitsPerSample() const { return bitsPerSample_; }
  std::int64_t LengthFrames() const;
  std::int64_t Position() const;
  // True when the length came from a PCM WAV header rather than a scan.
  bool MeasuredFromHeader() const { return pcm_.has_value(); }
  // Frames handed out (by Read) as silence because their packet could not be
  // decoded.
  std::int64_t DamagedFrames() const;
  // The decoder's codec name (libavcodec's short name: "opus", "vorbis").
  const std::string& CodecName() const { return codecName_; }
  // The links of a chained Ogg file, in order; empty for any other file.
  std::vector<LinkFormat> Links() const;
  // Lets go of the open input and decoder state (memory) until the next
  // Read or Seek, which reopens it; the position becomes 0.
  void Release();

  // Appends up to `frames` frames to `out`; returns how many (0 at the end,
  // or earlier when the file ends before its measured length).
  std::size_t Read(std::size_t frames, std::vector<float>& out);
  // Moves the read position to `frame` (clamped to 0 .. LengthFrames()).
  void Seek(std::int64_t frame);

 private:
  struct Input;
  struct FileHandle {
    int fd = -1;
    bool owned = true;
    ~FileHandle();
  };
  enum class Step { kDecoded, kEnd };
  // Where the frames of a plain PCM WAV file lie: frame f starts at byte
  // dataStart + f * blockAlign.
  struct PcmLayout {
    std::int64_t dataStart = 0;
    int blockAlign = 0;
    std::int64_t frames = 0;
  };

  std::unique_ptr<Input> OpenInput() const;
  av::CodecContextPtr OpenDecoder(const AVStream& stream) const;
  std::optional<PcmLayout> DirectPcmLayout() const;
  void OpenRegularFile();
  void CheckStreamFormat(const AVCodecParameters& par) const;
  bool IsShortMp3(const AVFormatContext& fmt) const;
  void Scan(PacketIndex& index);
  void RefuseFreeFormatMp3() const;
  // A FLAC stream without its "fLaC" marker whose first frame header checks.
  bool IsBareFlacStream(const AVFormatContext& fmt) const;
  void RefuseWideFlac() const;
  void ApplyMp3InfoTag(PacketIndex& index, const std::vector<std::uint8_t>& firstPacket, bool trimmedByDemuxer) const;
  std::optional<Mp3InfoTag> InfoTagBefore(std::int64_t position) const;
  void ApplyOggGranules(PacketIndex& index) const;
  // What a fresh decoder yields for this packet alone (and at what rate).
  std::uint32_t FramesDecodedAlone(AVPacket& packet, int* rate) const;
  void RefuseUnmodelledAac(const AVPacket& first, std::uint32_t expected) const;
  void ApplyMp4Ends(PacketIndex& index, std::int64_t sampleTableDuration, bool trimmedByDemuxer) const;
  void SeekPcm(std::int64_t frame);
  void Rewind();
  void EnsureInput();
  std::int64_t KeyOf(const AVPacket& packet) const;
  // Decodes one packet into raw frames; returns false at the end of the input.
  bool ReadPacket(AVPacket& packet);
  // Fills decoded_ and returns their frame count; -1 when the decoder
  // rejects the packet as damaged.
  int DecodePacket(AVPacket* packet);
  Step DecodeNextContinuous();
  bool TrySeek(std::size_t startPacket, std::int64_t target);
  void DecodeForwardTo(std::int64_t target);
  // Appends one packet's output: `raw` frames of which `front` and `back`
  // are trimmed. What the decoder gave beyond `raw` is dropped; what it gave
  // less (a damaged packet) is silence, marked in damagedSpans_.
  void AppendPacketOutput(std::int64_t raw, std::int64_t front, std::int64_t back);
  void ClearPending();
  std::size_t PendingFrames() const;

  void Open(const std::optional<FileIdentity>& identity);

  std::string path_;
  FileHandle file_;
  OggLinkRange range_{0, -1};  // bytes of the file this decoder reads (end -1: all)
  std::unique_ptr<OggChain> chain_;  // set for a chained Ogg file: every call goes there
  std::string codecName_;
  bool isOgg_ = false;
  bool isMp4_ = false;
  bool decodeFromStartOnSeek_ = false;  // no mid-stream start is exact
  bool keyIsPosition_ = true;
  int sampleRate_ = 0;
  int channels_ = 0;
  int bitsPerSample_ = 0;
  std::optional<PcmLayout> pcm_;                 // set for plain PCM WAV: no index
  std::shared_ptr<const PacketIndex> index_;    // set otherwise; shared with the ScanCache
  std::unique_ptr<Input> input_;
  std::vector<av::FramePtr> decoded_;
  int decodedCount_ = 0;
  std::vector<float> pending_;  // decoded frames not yet handed out
  std::size_t pendingRead_ = 0;  // elements of pending_ already handed out
  std::int64_t position_ = 0;   // stream frame of the next frame handed out
  std::size_t nextPacket_ = 0;  // index of the next packet the demuxer yields
  bool inputEnded_ = false;
  std::int64_t damagedFrames_ = 0;  // silent stand-ins handed out so far
  // Element ranges of pending_ that are silent stand-ins for damaged packets.
  std::vector<std::pair<std::size_t, std::size_t>> damagedSpans_;
};

}  // namespace snipwave::audio
