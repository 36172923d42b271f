#include "FileInput.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "AvError.h"
#include "platform/Error.h"

namespace snipwave::audio {

namespace {

constexpr int kIoBufferBytes = 64 * 1024;

int ReadFile(void* opaque, std::uint8_t* buffer, int size) {
  auto* cursor = static_cast<FileCursor*>(opaque);
  if (cursor->limit >= 0) {
    if (cursor->position >= cursor->limit) return AVERROR_EOF;
    size = static_cast<int>(std::min<std::int64_t>(size, cursor->limit - cursor->position));
  }
  ssize_t got;
  do {
    got = ::pread(cursor->fd, buffer, static_cast<std::size_t>(size), cursor->base + cursor->position);
  } while (got < 0 && errno == EINTR);
  if (got < 0) return AVERROR(errno);
  if (got == 0) return AVERROR_EOF;
  cursor->position += got;
  return static_cast<int>(got);
}

std::int64_t SeekFile(void* opaque, std::int64_t offset, int whence) {
  auto* cursor = static_cast<FileCursor*>(opaque);
  struct stat st {};
  if ((whence & AVSEEK_SIZE) || (whence & ~AVSEEK_FORCE) == SEEK_END) {
    if (::fstat(cursor->fd, &st) != 0) return AVERROR(errno);
    std::int64_t size = std::max<std::int64_t>(0, st.st_size - cursor->base);
    if (cursor->limit >= 0) size = std::min(size, cursor->limit);
    if (whence & AVSEEK_SIZE) return size;
    offset += size;
  } else if ((whence & ~AVSEEK_FORCE) == SEEK_CUR) {
    offset += cursor->position;
  } else if ((whence & ~AVSEEK_FORCE) != SEEK_SET) {
    return AVERROR(EINVAL);
  }
  if (offset < 0) return AVERROR(EINVAL);
  cursor->position = offset;
  return offset;
}

std::string FileKind(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a named pipe";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  return "not a regular file";
}

}  // namespace

void FreeCustomIo(AVIOContext* io) {
  av_freep(&io->buffer);
  avio_context_free(&io);
}

int OpenRegularFile(const std::string& path) {
  // Looked at before it is opened: opening a named pipe waits for a writer.
  struct stat st {};
  const auto refuseIrregular = [&path](mode_t mode) {
    if (!S_ISREG(mode)) throw Error::Failed("Cannot open", path, "it is " + FileKind(mode) + ", not a regular file");
  };
  if (::stat(path.c_str(), &st) != 0) throw Error::Failed("Cannot open", path, std::strerror(errno));
  refuseIrregular(st.st_mode);
  // Non-blocking, and looked at again once open, in case another kind of
  // file took the name in between.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) throw Error::Failed("Cannot open", path, std::strerror(errno));
  try {
    if (::fstat(fd, &st) != 0) throw Error::Failed("Cannot open", path, std::strerror(errno));
    refuseIrregular(st.st_mode);
  } catch (...) {
    ::close(fd);
    throw;
  }
  // Regular files never block; reads may as well be plain ones.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

CustomIoPtr MakeFileIo(FileCursor& cursor, const std::string& path) {
  auto* buffer = static_cast<unsigned char*>(av::CheckAlloc(av_malloc(kIoBufferBytes), "Cannot open", path));
  CustomIoPtr io(avio_alloc_context(buffer, kIoBufferBytes, 0, &cursor, &ReadFile, nullptr, &SeekFile));
  if (!io) {
    av_free(buffer);
    throw Error::Failed("Cannot open", path, "out of memory");
  }
  return io;
}

}  // namespace snipwave::audio
