#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "PacketIndex.h"

namespace snipwave::audio {

// What tells one version of a file from another without reading it all: the
// canonical path, device and inode, size, modification and change times (ns),
// and a hash of the first and last 4 KiB. A rewrite that keeps path, size and
// both times within one timestamp tick still changes the hash unless the
// bytes at both ends are identical too.
struct FileIdentity {
  std::string canonicalPath;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::int64_t modifiedNs = 0;
  std::int64_t changedNs = 0;
  std::uint64_t endsHash = 0;

  bool operator==(const FileIdentity&) const = default;
};

// nullopt when the file cannot be examined (it is then simply not cached).
std::optional<FileIdentity> IdentifyFile(const std::string& path);

// A small per-process memory of demux scans (packet index and exact length),
// so that reopening an unchanged file (preview reopens it on every play)
// costs no second scan. Least recently used entries are dropped beyond
// kMaxEntries files or kMaxBytes of index memory; an entry is only found
// again by an identical FileIdentity, so a changed file is scanned afresh.
// Thread-safe.
class ScanCache {
 public:
  static constexpr std::size_t kMaxEntries = 16;
  static constexpr std::size_t kMaxBytes = 24u << 20;

  static ScanCache& Instance();

  std::shared_ptr<const PacketIndex> Find(const FileIdentity& id);
  void Store(const FileIdentity& id, std::shared_ptr<const PacketIndex> index);
  void Clear();

  // Counters for tests and diagnostics.
  std::size_t Hits() const;
  std::size_t Entries() const;

 private:
  struct Entry {
    FileIdentity id;
    std::shared_ptr<const PacketIndex> index;
    std::size_t bytes = 0;
  };
  void TrimLocked();

  mutable std::mutex mutex_;
  std::list<Entry> entries_;  // most recently used first
  std::size_t bytes_ = 0;
  std::size_t hits_ = 0;
};

}  // namespace snipwave::audio
