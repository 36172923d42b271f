#include "PcmWavCopy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

#include "FileInput.h"
#include "UniqueFd.h"
#include "platform/Error.h"

namespace snipwave::audio {

namespace {

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;
// KSDATAFORMAT_SUBTYPE_PCM: the PCM format tag followed by the common GUID tail.
constexpr std::array<unsigned char, 16> kPcmSubFormat = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                                         0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
constexpr std::int64_t kPlainHeaderBytes = 44;       // RIFF 12 + "fmt " 8+16 + "data" 8
constexpr std::int64_t kExtensibleHeaderBytes = 68;  // RIFF 12 + "fmt " 8+40 + "data" 8
constexpr std::int64_t kBlockBytes = 16 << 20;       // one copy_file_range request, one keepGoing question
constexpr std::size_t kFallbackBufferBytes = 1 << 20;
// A header further than this many chunks from its data is no header we copy from
// (the caller decodes such a file instead); it bounds the walk over a hostile file.
constexpr int kMaxChunks = 1024;

std::uint16_t Le16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t Le32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
void PutLe16(std::vector<unsigned char>& b, std::uint32_t v) {
  b.push_back(static_cast<unsigned char>(v));
  b.push_back(static_cast<unsigned char>(v >> 8));
}
void PutLe32(std::vector<unsigned char>& b, std::uint32_t v) {
  PutLe16(b, v & 0xFFFF);
  PutLe16(b, v >> 16);
}
void PutId(std::vector<unsigned char>& b, const char* id) { b.insert(b.end(), id, id + 4); }

bool ReadExactly(int fd, unsigned char* buffer, std::size_t bytes, std::int64_t at) {
  std::size_t done = 0;
  while (done < bytes) {
    const ssize_t n = ::pread(fd, buffer + done, bytes - done, static_cast<off_t>(at + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// The sample format of a "fmt " chunk's payload, when it is integer PCM we copy.
std::optional<PcmWavLayout> ParseFormat(const unsigned char* fmt, std::uint32_t size) {
  if (size < 16) return std::nullopt;
  PcmWavLayout layout;
  const std::uint16_t tag = Le16(fmt);
  layout.channels = Le16(fmt + 2);
  layout.sampleRate = static_cast<int>(std::min<std::uint32_t>(Le32(fmt + 4), std::numeric_limits<int>::max()));
  layout.blockAlign = Le16(fmt + 12);
  layout.bitsPerSample = Le16(fmt + 14);
  if (tag == kFormatExtensible) {
    if (size < 40 || Le16(fmt + 16) < 22 || std::memcmp(fmt + 24, kPcmSubFormat.data(), 16) != 0) return std::nullopt;
    layout.validBitsPerSample = Le16(fmt + 18);
    layout.channelMask = Le32(fmt + 20);
    if (layout.validBitsPerSample > layout.bitsPerSample) return std::nullopt;
  } else if (tag != kFormatPcm) {
    return std::nullopt;
  }
  return layout;
}

bool IsCopyable(const PcmWavLayout& l) {
  const bool bitsOk = l.bitsPerSample == 8 || l.bitsPerSample == 16 || l.bitsPerSample == 24 || l.bitsPerSample == 32;
  return bitsOk && l.channels >= 1 && l.channels <= 8 && l.blockAlign == l.channels * (l.bitsPerSample / 8) &&
         l.sampleRate > 0 &&
         static_cast<std::uint64_t>(l.sampleRate) * static_cast<std::uint64_t>(l.blockAlign) <= 0xFFFFFFFFu &&
         l.dataOffset >= 12 && l.frames >= 0 && l.validBitsPerSample >= 0 && l.validBitsPerSample <= l.bitsPerSample;
}

bool NeedsExtensible(const PcmWavLayout& l) { return l.channels > 2 || l.bitsPerSample > 16; }

// RIFF header, "fmt " and the "data" chunk header for `dataBytes` sample bytes
// (the RIFF size counts the pad byte an odd data chunk is followed by).
std::vector<unsigned char> BuildHeader(const PcmWavLayout& l, std::int64_t dataBytes) {
  const bool extensible = NeedsExtensible(l);
  const std::int64_t headerBytes = extensible ? kExtensibleHeaderBytes : kPlainHeaderBytes;
  std::vector<unsigned char> h;
  h.reserve(static_cast<std::size_t>(headerBytes));
  PutId(h, "RIFF");
  PutLe32(h, static_cast<std::uint32_t>(headerBytes - 8 + dataBytes + (dataBytes & 1)));
  PutId(h, "WAVE");
  PutId(h, "fmt ");
  PutLe32(h, extensible ? 40 : 16);
  PutLe16(h, extensible ? kFormatExtensible : kFormatPcm);
  PutLe16(h, static_cast<std::uint32_t>(l.channels));
  PutLe32(h, static_cast<std::uint32_t>(l.sampleRate));
  PutLe32(h, static_cast<std::uint32_t>(l.sampleRate) * static_cast<std::uint32_t>(l.blockAlign));
  PutLe16(h, static_cast<std::uint32_t>(l.blockAlign));
  PutLe16(h, static_cast<std::uint32_t>(l.bitsPerSample));
  if (extensible) {
    PutLe16(h, 22);
    PutLe16(h, static_cast<std::uint32_t>(l.validBitsPerSample > 0 ? l.validBitsPerSample : l.bitsPerSample));
    // A plain source names no speakers beyond what mono and stereo imply.
    const std::uint32_t mask = l.channelMask != 0 ? l.channelMask : l.channels == 1 ? 0x4 : l.channels == 2 ? 0x3 : 0;
    PutLe32(h, mask);
    h.insert(h.end(), kPcmSubFormat.begin(), kPcmSubFormat.end());
  }
  PutId(h, "data");
  PutLe32(h, static_cast<std::uint32_t>(dataBytes));
  return h;
}

[[noreturn]] void ThrowErrno(const char* operation, const std::string& path, int error) {
  throw Error::Failed(operation, path, std::strerror(error));
}

void WriteAll(int fd, const unsigned char* bytes, std::size_t size, std::int64_t at, const std::string& path) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pwrite(fd, bytes + done, size - done, static_cast<off_t>(at + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ThrowErrno("Cannot write", path, errno);
    if (n == 0) ThrowErrno("Cannot write", path, EIO);
    done += static_cast<std::size_t>(n);
  }
}

// Creates (or empties) the output as a regular file, after making sure it is
// not the source: emptying that would destroy the very bytes to be copied.
UniqueFd CreateOutput(const std::string& path, const struct stat& source) {
  const auto sameFile = [&source](const struct stat& st) {
    return st.st_dev == source.st_dev && st.st_ino == source.st_ino;
  };
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && sameFile(st)) {
    throw Error::Failed("Cannot create", path, "it is the source file itself");
  }
  // Non-blocking: opening a named pipe for writing would wait for a reader.
  UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666));
  if (!fd) ThrowErrno("Cannot create", path, errno);
  if (::fstat(fd.get(), &st) != 0) ThrowErrno("Cannot create", path, errno);
  if (sameFile(st)) throw Error::Failed("Cannot create", path, "it is the source file itself");
  if (!S_ISREG(st.st_mode)) throw Error::Failed("Cannot create", path, "it is not a regular file");
  ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
  // Only a file that holds something is emptied: ext4 takes a truncation to
  // zero for a file being replaced and writes all of it back on close, which
  // a fresh file must not pay for.
  if (st.st_size > 0 && ::ftruncate(fd.get(), 0) != 0) ThrowErrno("Cannot create", path, errno);
  return fd;
}

// Moves up to `bytes` bytes from `in` at inAt to `out` at outAt; fewer only
// where the source ends. copy_file_range until the kernel says it cannot for
// these files, then pread/pwrite.
class ByteMover {
 public:
  ByteMover(int in, const std::string& inPath, int out, const std::string& outPath)
      : in_(in), out_(out), inPath_(inPath), outPath_(outPath) {}

  std::int64_t Move(std::int64_t inAt, std::int64_t outAt, std::int64_t bytes) {
    std::int64_t done = 0;
    while (done < bytes) {
      const std::int64_t n = kernel_ ? KernelCopy(inAt + done, outAt + done, bytes - done)
                                     : BufferCopy(inAt + done, outAt + done, bytes - done);
      if (n < 0) continue;  // switched to the buffer copy: try again
      if (n == 0) break;    // the source ends here
      done += n;
    }
    return done;
  }

 private:
  // Bytes moved, 0 at the source's end, -1 when the kernel copy was given up.
  std::int64_t KernelCopy(std::int64_t inAt, std::int64_t outAt, std::int64_t bytes) {
    for (;;) {
      loff_t inOff = inAt, outOff = outAt;
      const ssize_t n = ::copy_file_range(in_, &inOff, out_, &outOff, static_cast<std::size_t>(bytes), 0);
      if (n > 0) return n;
      if (n == 0) {
        // Some file systems answer 0 rather than an error for what they cannot
        // copy: only a source that really ends here ends the copy.
        struct stat st {};
        if (::fstat(in_, &st) == 0 && st.st_size <= inAt) return 0;
        kernel_ = false;
        return -1;
      }
      const int error = errno;
      if (error == EINTR) continue;
      if (error == EXDEV || error == ENOSYS || error == EINVAL || error == EOPNOTSUPP || error == ENOTSUP ||
          error == EBADF || error == ETXTBSY || error == EPERM) {
        kernel_ = false;
        return -1;
      }
      // Errors that belong to the output name the output; anything else could
      // be either side and names both.
      if (error == EFBIG || error == ENOSPC || error == EDQUOT || error == EROFS) ThrowErrno("Cannot write", outPath_, error);
      throw Error("Cannot copy the samples of \"" + inPath_ + "\" into \"" + outPath_ + "\": " + std::strerror(error));
    }
  }

  std::int64_t BufferCopy(std::int64_t inAt, std::int64_t outAt, std::int64_t bytes) {
    if (buffer_.empty()) buffer_.resize(kFallbackBufferBytes);
    const std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(bytes, kFallbackBufferBytes));
    for (;;) {
      const ssize_t n = ::pread(in_, buffer_.data(), want, static_cast<off_t>(inAt));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) ThrowErrno("Cannot read", inPath_, errno);
      WriteAll(out_, buffer_.data(), static_cast<std::size_t>(n), outAt, outPath_);
      return n;
    }
  }

  int in_, out_;
  const std::string& inPath_;
  const std::string& outPath_;
  bool kernel_ = true;
  std::vector<unsigned char> buffer_;
};

std::int64_t CopyInto(int out, const std::string& outPath, int in, const std::string& inPath, const PcmWavLayout& layout,
                      std::int64_t begin, std::int64_t end, const std::function<bool(std::int64_t)>& keepGoing) {
  const std::int64_t align = layout.blockAlign;
  std::vector<unsigned char> header = BuildHeader(layout, (end - begin) * align);
  const auto headerBytes = static_cast<std::int64_t>(header.size());
  WriteAll(out, header.data(), header.size(), 0, outPath);

  ByteMover mover(in, inPath, out, outPath);
  const std::int64_t block = std::max<std::int64_t>(1, kBlockBytes / align) * align;
  const std::int64_t total = (end - begin) * align;
  std::int64_t copied = 0;
  while (copied < total) {
    const std::int64_t want = std::min(block, total - copied);
    const std::int64_t got = mover.Move(layout.dataOffset + begin * align + copied, headerBytes + copied, want);
    // The output is made durable before it is named: starting the write-back
    // of each block now lets the disk work while the next one is copied,
    // instead of all of it at the final sync. Only a hint: the sync reports
    // any failure.
    ::sync_file_range(out, headerBytes + copied, got, SYNC_FILE_RANGE_WRITE);
    copied += got;
    if (got < want) break;  // the source is shorter than its header said
    if (copied < total && keepGoing && !keepGoing(copied / align)) break;
  }

  // Whole frames only (a source cut off mid-frame leaves a partial one), then
  // the pad byte an odd chunk needs, and the sizes of what the file holds.
  const std::int64_t frames = copied / align;
  const std::int64_t dataBytes = frames * align;
  if (copied != dataBytes && ::ftruncate(out, static_cast<off_t>(headerBytes + dataBytes)) != 0) {
    ThrowErrno("Cannot write", outPath, errno);
  }
  if (dataBytes & 1) {
    const unsigned char pad = 0;
    WriteAll(out, &pad, 1, headerBytes + dataBytes, outPath);
  }
  header = BuildHeader(layout, dataBytes);
  WriteAll(out, header.data(), header.size(), 0, outPath);
  return frames;
}

}  // namespace

std::optional<PcmWavLayout> ReadPcmWavLayout(const QString& path) {
  try {
    const UniqueFd fd(OpenRegularFile(path.toStdString()));
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return std::nullopt;
    const std::int64_t fileSize = st.st_size;
    unsigned char riff[12];
    if (!ReadExactly(fd.get(), riff, sizeof riff, 0) || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0) {
      return std::nullopt;
    }
    std::optional<PcmWavLayout> layout;
    std::int64_t at = 12;
    for (int chunks = 0; chunks < kMaxChunks && at + 8 <= fileSize; ++chunks) {
      unsigned char head[8];
      if (!ReadExactly(fd.get(), head, sizeof head, at)) return std::nullopt;
      const std::uint32_t size = Le32(head + 4);
      if (std::memcmp(head, "fmt ", 4) == 0 && !layout) {
        unsigned char fmt[40] = {};
        const std::uint32_t take = std::min<std::uint32_t>(size, sizeof fmt);
        if (!ReadExactly(fd.get(), fmt, take, at + 8)) return std::nullopt;
        layout = ParseFormat(fmt, size);
        if (!layout) return std::nullopt;
      } else if (std::memcmp(head, "data", 4) == 0) {
        if (!layout) return std::nullopt;
        layout->dataOffset = at + 8;
        const std::int64_t inFile = fileSize - layout->dataOffset;
        // 0 and 0xFFFFFFFF: a writer that never came back to fill in the size.
        const std::int64_t bytes = (size == 0 || size == 0xFFFFFFFFu) ? inFile : std::min<std::int64_t>(size, inFile);
        if (layout->blockAlign > 0) layout->frames = bytes / layout->blockAlign;
        if (!IsCopyable(*layout)) return std::nullopt;
        return layout;
      }
      at += 8 + static_cast<std::int64_t>(size) + (size & 1);
    }
    return std::nullopt;
  } catch (const Error&) {
    return std::nullopt;  // not readable as a regular file: not a layout we copy from
  }
}

std::int64_t CopyPcmWavRange(const PcmWavLayout& layout, const QString& sourcePath, std::int64_t begin,
                             std::int64_t end, const QString& outputPath,
                             const std::function<bool(std::int64_t)>& keepGoing) {
  const std::string source = sourcePath.toStdString();
  const std::string output = outputPath.toStdString();
  if (!IsCopyable(layout)) {
    throw Error::Failed("Cannot copy the samples of", source, "its format is not integer PCM of 8 to 32 bits");
  }
  if (begin < 0 || end < begin) {
    throw Error::Failed("Cannot copy the samples of", source,
                        "frames " + std::to_string(begin) + " to " + std::to_string(end) + " are no range");
  }
  // What lies beyond the source's frames cannot be copied: the range ends there.
  end = std::min(end, layout.frames);
  begin = std::min(begin, end);
  const std::int64_t riffBytes = (NeedsExtensible(layout) ? kExtensibleHeaderBytes : kPlainHeaderBytes) - 8 +
                                 (end - begin) * layout.blockAlign + 1;
  if (riffBytes > 0xFFFFFFFFLL) {
    throw Error::Failed("Cannot create", output, "the range holds more than the 4 GiB a WAV file can");
  }

  const UniqueFd in(OpenRegularFile(source));
  struct stat sourceStat {};
  if (::fstat(in.get(), &sourceStat) != 0) ThrowErrno("Cannot open", source, errno);
  UniqueFd out = CreateOutput(output, sourceStat);
  try {
    const std::int64_t frames = CopyInto(out.get(), output, in.get(), source, layout, begin, end, keepGoing);
    if (::close(out.release()) != 0) ThrowErrno("Cannot write", output, errno);
    return frames;
  } catch (...) {
    // What a failure leaves is no WAV of the range: it goes.
    out.reset();
    std::remove(output.c_str());
    throw;
  }
}

}  // namespace snipwave::audio
