#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace snipwave::mp4copy {

struct Mp4Track;

// An AAC-LC track of an MP4/M4A file opened for copying its packets; its
// bytes are read when needed (the sample table is kept, not the audio).
//
// Positions are the audio reader's sample frames: frame 0 is the edit
// list's media_time (or, without an edit list, iTunSMPB's delay), and the
// length is the edit's duration (or iTunSMPB's length). Every packet
// decodes to 1024 frames; packet k holds media frames [1024k, 1024k + 1024).
class Mp4CopySource {
 public:
  // nullptr with `reason` set to a clause ("it is a fragmented MP4 file")
  // when its packets cannot be copied exactly. `decodedLength`: the audio
  // reader's length of it in frames, which the sample table and edit list
  // must agree with (else: "its packets do not add up to its length").
  static std::unique_ptr<Mp4CopySource> Open(const QString& path, std::int64_t decodedLength, QString* reason);
  ~Mp4CopySource();
  Mp4CopySource(const Mp4CopySource&) = delete;
  Mp4CopySource& operator=(const Mp4CopySource&) = delete;

  const QString& Path() const { return path_; }
  int SampleRate() const;
  int Channels() const;
  std::int64_t Length() const;  // reader frames
  // Media frames (decoded frames of the packets) ahead of reader frame 0.
  std::int64_t Delay() const;
  std::int64_t Packets() const;
  // True when this source's packets may follow `other`'s in one output: the
  // same AudioSpecificConfig (object type, rate, channel configuration), rate
  // and channel count.
  bool SameSetup(const Mp4CopySource& other) const;

  const Mp4Track& Track() const { return *track_; }

 private:
  Mp4CopySource(QString path, std::unique_ptr<Mp4Track> track);
  QString path_;
  std::unique_ptr<Mp4Track> track_;
};

// Reader frames [begin, end) of `source`.
struct CopyRange {
  const Mp4CopySource* source = nullptr;
  std::int64_t begin = 0, end = 0;
};

struct CopyOutcome {
  std::int64_t decodedFrames = 0;    // what a conforming decoder gives: the sum of the ranges
  std::int64_t packetsInRanges = 0;  // packets whose decode falls inside the ranges
  // Packets copied byte for byte: those in the ranges plus the packet ahead
  // of the range (the decoder's overlap-add needs it) and, for a range
  // inside one packet, one after it (see WriteMp4Copy); their output is
  // edited out. This may exceed packetsInRanges by two.
  std::int64_t packetsCopied = 0;
  bool stopped = false;  // keepGoing said no; the file ends where copying stopped
  // A packet does not decode (the source is damaged there): the file ends
  // before it, as at a stop.
  bool damaged = false;
};

// Writes the ranges, in order, as one M4A file at `outputPath` (a cut: one
// range): ftyp "M4A ", then moov (one AAC track, the source's sample
// description copied unchanged, a one-entry edit list, movie and media time
// scales = the sample rate so the edit is exact, iTunes' gapless item
// iTunSMPB with the same delay, padding and length for players that read
// no edit list), then mdat with the packets copied byte for byte: from the
// packet before the one holding the range's first frame (its output is
// edited out; the decode after it equals the source's) to the one holding
// its last (and, for a range inside one packet, a packet after it, which
// FFmpeg's edit-list handling needs to keep that packet). Ranges must make one run of one source: ranges that continue
// one another join into one; separate ranges would need an edit list of
// several entries, which FFmpeg's decoder (5.1) does not trim exactly (it
// trims the first edit's start only), and are refused (see RangesRefusal).
// keepGoing(share 0..1) false: stop, the file then ends where it stopped
// (still valid, its edit cut to what was written). Every packet is decoded
// before it is copied; the copy ends, as at a stop, before the first one
// the decoder rejects (`damaged`). Throws snipwave::Error
// naming the path and operation; a failed write may leave a partial file.
CopyOutcome WriteMp4Copy(const std::vector<CopyRange>& ranges, const QString& outputPath,
                         const std::function<bool(double)>& keepGoing);

// Why `ranges` cannot be written as one copy, as a clause ("a range lies
// outside its source"); empty when they can.
QString RangesRefusal(const std::vector<CopyRange>& ranges);

}  // namespace snipwave::mp4copy
