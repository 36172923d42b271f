#pragma once

#include <cstdint>
#include <cstddef>
#include <deque>
#include <unordered_map>
#include <vector>

namespace snipwave::audio {

// What one demuxed packet contributes to the decoded stream, in sample frames:
// `raw` frames come out of the decoder, of which `front` at the start and
// `back` at the end are trimmed (encoder delay and padding, first-frame drops).
struct PacketOutput {
  std::uint32_t raw = 0;
  std::uint32_t front = 0;
  std::uint32_t back = 0;
  std::uint32_t Kept() const { return raw > front + back ? raw - front - back : 0; }
};

// The packets of one source stream as a demux scan found them, in stream
// order. Packet i is recognised again after a seek by its key (byte position
// or timestamp, whichever the container keeps stable); its output starts at
// frame OutputOffset(i) of the decoded stream. Memory: 12 bytes per packet
// plus one offset per 64 packets; trims are rare and kept sparse. The
// per-packet columns grow in blocks (deques), so a scan never holds an old
// and a new copy of them at once: memory stays at what the packets need.
class PacketIndex {
 public:
  void Clear();
  void Add(std::int64_t key, const PacketOutput& out);

  std::size_t Size() const { return keys_.size(); }
  std::int64_t Key(std::size_t i) const { return keys_[i]; }
  PacketOutput Output(std::size_t i) const;
  // Decoded frames before packet i (i may equal Size()).
  std::int64_t OutputOffset(std::size_t i) const;
  // Total decoded frames of the stream.
  std::int64_t TotalFrames() const { return total_; }
  // The packet whose kept output holds `frame` (Size() when frame >= total).
  std::size_t PacketAt(std::int64_t frame) const;
  // The first packet with this key at or after `from`, or Size().
  std::size_t Find(std::int64_t key, std::size_t from = 0) const;
  // Heap bytes held (for the scan cache's budget).
  std::size_t MemoryBytes() const;

  // Trims the first `frames` kept frames of the stream (added to the front
  // trims of the first packets, in order), for start offsets the container's
  // own reading did not apply: an encoder delay, a negative start position.
  void TrimFront(std::int64_t frames);
  // Trims up to `frames` more from the front of packet i's kept output (at
  // most all of it); returns how many were trimmed.
  std::int64_t TrimPacketFront(std::size_t i, std::int64_t frames);
  // Trims the stream's end (from the last packets backwards) so that at most
  // `frames` kept frames remain.
  void TrimToLength(std::int64_t frames);

  // Packets from this one on keep their keys only when read in order from an
  // earlier packet (an Ogg stream's last page: after a seek onto it, the
  // demuxer derives other timestamps), so a seek must land before it.
  // Size() when every packet is recognised after a seek.
  std::size_t SeekLimit() const { return seekLimit_ < keys_.size() ? seekLimit_ : keys_.size(); }
  void SetSeekLimit(std::size_t packet) { seekLimit_ = packet; }

 private:
  static constexpr std::size_t kCheckpointEvery = 64;
  void SetTrim(std::size_t i, std::uint32_t front, std::uint32_t back);
  // Recomputes the running offsets from packet `from` on, after trims changed.
  void RebuildOffsetsFrom(std::size_t from);
  std::deque<std::int64_t> keys_;
  std::deque<std::uint32_t> raw_;
  std::unordered_map<std::size_t, std::pair<std::uint32_t, std::uint32_t>> trims_;
  std::vector<std::int64_t> checkpoints_;  // OutputOffset(k * kCheckpointEvery)
  std::int64_t total_ = 0;
  std::size_t seekLimit_ = SIZE_MAX;
};

}  // namespace snipwave::audio
