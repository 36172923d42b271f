#include "PacketIndex.h"

#include <algorithm>

namespace snipwave::audio {

void PacketIndex::Clear() {
  keys_.clear();
  raw_.clear();
  trims_.clear();
  checkpoints_.clear();
  total_ = 0;
  seekLimit_ = SIZE_MAX;
}

void PacketIndex::Add(std::int64_t key, const PacketOutput& out) {
  const std::size_t i = keys_.size();
  if (i % kCheckpointEvery == 0) checkpoints_.push_back(total_);
  keys_.push_back(key);
  raw_.push_back(out.raw);
  if (out.front || out.back) trims_[i] = {out.front, out.back};
  total_ += out.Kept();
}

PacketOutput PacketIndex::Output(std::size_t i) const {
  PacketOutput out;
  out.raw = raw_[i];
  if (auto it = trims_.find(i); it != trims_.end()) {
    out.front = it->second.first;
    out.back = it->second.second;
  }
  return out;
}

std::int64_t PacketIndex::OutputOffset(std::size_t i) const {
  if (i >= keys_.size()) return total_;
  const std::size_t base = i / kCheckpointEvery * kCheckpointEvery;
  std::int64_t offset = checkpoints_[i / kCheckpointEvery];
  for (std::size_t k = base; k < i; ++k) offset += Output(k).Kept();
  return offset;
}

std::size_t PacketIndex::PacketAt(std::int64_t frame) const {
  if (frame >= total_) return keys_.size();
  if (frame < 0) frame = 0;
  // Last checkpoint at or before the frame, then walk.
  auto it = std::upper_bound(checkpoints_.begin(), checkpoints_.end(), frame);
  std::size_t block = static_cast<std::size_t>(it - checkpoints_.begin()) - 1;
  // Several checkpoints may share an offset (packets with no output); the
  // first of them is the right start.
  while (block > 0 && checkpoints_[block - 1] == checkpoints_[block]) --block;
  std::size_t i = block * kCheckpointEvery;
  std::int64_t offset = checkpoints_[block];
  for (; i < keys_.size(); ++i) {
    const std::int64_t kept = Output(i).Kept();
    if (frame < offset + kept) return i;
    offset += kept;
  }
  return keys_.size();
}

std::size_t PacketIndex::MemoryBytes() const {
  // Deque blocks hold 512 bytes each; a trim is a hash node of key, value,
  // next pointer and cached hash, plus a bucket pointer.
  constexpr std::size_t kBlock = 512;
  constexpr std::size_t kTrimNode = sizeof(std::size_t) * 3 + 2 * sizeof(std::uint32_t) + sizeof(void*);
  const auto blocks = [](std::size_t n, std::size_t size) { return (n * size + kBlock - 1) / kBlock + 1; };
  return (blocks(keys_.size(), sizeof(std::int64_t)) + blocks(raw_.size(), sizeof(std::uint32_t))) *
             (kBlock + sizeof(void*)) +
         checkpoints_.capacity() * sizeof(std::int64_t) + trims_.size() * kTrimNode +
         trims_.bucket_count() * sizeof(void*);
}

void PacketIndex::SetTrim(std::size_t i, std::uint32_t front, std::uint32_t back) {
  if (front || back) {
    trims_[i] = {front, back};
  } else {
    trims_.erase(i);
  }
}

void PacketIndex::RebuildOffsetsFrom(std::size_t from) {
  std::size_t block = from / kCheckpointEvery;
  std::int64_t offset = checkpoints_.empty() ? 0 : checkpoints_[block];
  for (std::size_t i = block * kCheckpointEvery; i < keys_.size(); ++i) {
    if (i % kCheckpointEvery == 0) checkpoints_[i / kCheckpointEvery] = offset;
    offset += Output(i).Kept();
  }
  total_ = offset;
}

void PacketIndex::TrimFront(std::int64_t frames) {
  std::size_t i = 0;
  for (; i < keys_.size() && frames > 0; ++i) {
    const PacketOutput out = Output(i);
    const std::uint32_t take = static_cast<std::uint32_t>(std::min<std::int64_t>(frames, out.Kept()));
    SetTrim(i, out.front + take, out.back);
    frames -= take;
  }
  if (i > 0) RebuildOffsetsFrom(0);
}

std::int64_t PacketIndex::TrimPacketFront(std::size_t i, std::int64_t frames) {
  if (i >= keys_.size() || frames <= 0) return 0;
  const PacketOutput out = Output(i);
  const auto take = static_cast<std::uint32_t>(std::min<std::int64_t>(frames, out.Kept()));
  if (take == 0) return 0;
  SetTrim(i, out.front + take, out.back);
  RebuildOffsetsFrom(i);
  return take;
}

void PacketIndex::TrimToLength(std::int64_t frames) {
  std::int64_t excess = total_ - std::max<std::int64_t>(frames, 0);
  if (excess <= 0) return;
  std::size_t i = keys_.size();
  while (i > 0 && excess > 0) {
    --i;
    const PacketOutput out = Output(i);
    const std::uint32_t take = static_cast<std::uint32_t>(std::min<std::int64_t>(excess, out.Kept()));
    // The back trim counts off the end of the packet's output, so a packet
    // cut entirely becomes one trimmed wholly at its back.
    SetTrim(i, out.front, out.back + take);
    excess -= take;
  }
  RebuildOffsetsFrom(i);
}

std::size_t PacketIndex::Find(std::int64_t key, std::size_t from) const {
  // Keys rise through the stream (positions and timestamps both), so a
  // binary search finds the candidate; equal keys are resolved forwards.
  auto it = std::lower_bound(keys_.begin() + static_cast<std::ptrdiff_t>(std::min(from, keys_.size())),
                             keys_.end(), key);
  if (it == keys_.end() || *it != key) return keys_.size();
  return static_cast<std::size_t>(it - keys_.begin());
}

}  // namespace snipwave::audio
