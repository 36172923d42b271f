#include "ScanCache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <climits>
#include <cstdlib>

namespace snipwave::audio {

namespace {

constexpr std::int64_t kEndBytes = 4096;

std::int64_t Nanoseconds(const timespec& t) { return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec; }

// FNV-1a over a byte range, continuing from `hash`.
std::uint64_t Fnv1a(std::uint64_t hash, const unsigned char* data, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    hash ^= data[i];
    hash *= 0x100000001b3ull;
  }
  return hash;
}

struct Fd {
  int fd;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
};

}  // namespace

std::optional<FileIdentity> IdentifyFile(const std::string& path) {
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (!resolved) return std::nullopt;
  FileIdentity id;
  id.canonicalPath = resolved;
  std::free(resolved);

  // Non-blocking: a named pipe put in the file's place must not stall this.
  Fd file{::open(id.canonicalPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
  if (file.fd < 0) return std::nullopt;
  struct stat st {};
  if (::fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  id.device = st.st_dev;
  id.inode = st.st_ino;
  id.size = st.st_size;
  id.modifiedNs = Nanoseconds(st.st_mtim);
  id.changedNs = Nanoseconds(st.st_ctim);

  std::array<unsigned char, kEndBytes> buffer{};
  std::uint64_t hash = 0xcbf29ce484222325ull;
  const auto hashAt = [&](std::int64_t offset) {
    const ssize_t got = ::pread(file.fd, buffer.data(), buffer.size(), offset);
    if (got < 0) return false;
    hash = Fnv1a(hash, buffer.data(), static_cast<std::size_t>(got));
    return true;
  };
  if (!hashAt(0)) return std::nullopt;
  if (id.size > kEndBytes && !hashAt(id.size - kEndBytes)) return std::nullopt;
  id.endsHash = hash;
  return id;
}

ScanCache& ScanCache::Instance() {
  static ScanCache cache;
  return cache;
}

std::shared_ptr<const PacketIndex> ScanCache::Find(const FileIdentity& id) {
  std::lock_guard lock(mutex_);
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (it->id.canonicalPath != id.canonicalPath) continue;
    if (!(it->id == id)) {
      // The same path with other contents: the old scan is of no use again.
      bytes_ -= it->bytes;
      entries_.erase(it);
      return nullptr;
    }
    entries_.splice(entries_.begin(), entries_, it);
    ++hits_;
    return it->index;
  }
  return nullptr;
}

void ScanCache::Store(const FileIdentity& id, std::shared_ptr<const PacketIndex> index) {
  if (!index) return;
  const std::size_t bytes = index->MemoryBytes();
  if (bytes > kMaxBytes) return;
  std::lock_guard lock(mutex_);
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (it->id.canonicalPath == id.canonicalPath) {
      bytes_ -= it->bytes;
      entries_.erase(it);
      break;
    }
  }
  entries_.push_front(Entry{id, std::move(index), bytes});
  bytes_ += bytes;
  TrimLocked();
}

void ScanCache::TrimLocked() {
  while (!entries_.empty() && (entries_.size() > kMaxEntries || bytes_ > kMaxBytes)) {
    bytes_ -= entries_.back().bytes;
    entries_.pop_back();
  }
}

void ScanCache::Clear() {
  std::lock_guard lock(mutex_);
  entries_.clear();
  bytes_ = 0;
}

std::size_t ScanCache::Hits() const {
  std::lock_guard lock(mutex_);
  return hits_;
}

std::size_t ScanCache::Entries() const {
  std::lock_guard lock(mutex_);
  return entries_.size();
}

}  // namespace snipwave::audio
