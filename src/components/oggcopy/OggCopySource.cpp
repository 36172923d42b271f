#include <fcntl.h>
#include <sys/stat.h>

#include <QFile>
#include <cerrno>
#include <cstring>

#include "LinkPlan.h"
#include "OggCopy.h"
#include "OggStream.h"

namespace snipwave::oggcopy {

OggCopySource::OggCopySource(const QString& path, std::unique_ptr<OggStream> stream)
    : path_(path), stream_(std::move(stream)) {}

OggCopySource::~OggCopySource() = default;

std::unique_ptr<OggCopySource> OggCopySource::Open(const QString& path, std::int64_t decodedLength, QString* reason) {
  auto stream = std::make_unique<OggStream>();
  stream->file.reset(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
  struct stat st {};
  if (!stream->file || ::fstat(stream->file.get(), &st) != 0) {
    *reason = QStringLiteral("it cannot be opened (%1)").arg(QString::fromLocal8Bit(std::strerror(errno)));
    return nullptr;
  }
  std::string why;
  if (!ReadOggStream(stream->file.get(), st.st_size, stream.get(), &why)) {
    *reason = QString::fromStdString(why);
    return nullptr;
  }
  if (stream->length != decodedLength) {
    *reason = QStringLiteral("its packets do not add up to its length");
    return nullptr;
  }
  return std::unique_ptr<OggCopySource>(new OggCopySource(path, std::move(stream)));
}

Codec OggCopySource::codec() const { return stream_->codec; }
int OggCopySource::SampleRate() const { return stream_->sampleRate; }
int OggCopySource::Channels() const { return stream_->channels; }
std::int64_t OggCopySource::Length() const { return stream_->length; }

bool OggCopySource::SameSetup(const OggCopySource& other) const {
  const OggStream& a = *stream_;
  const OggStream& b = *other.stream_;
  if (a.codec != b.codec) return false;
  if (a.codec == Codec::kOpus) return OpusDecoderSetup(a.headers[0]) == OpusDecoderSetup(b.headers[0]);
  return a.headers[0] == b.headers[0] && a.headers[2] == b.headers[2];
}

bool OggCopySource::CanCopy(std::int64_t begin, std::int64_t end, QString* reason) const {
  std::string why;
  if (PlanLink(*stream_, begin, end, &why)) return true;
  *reason = QString::fromStdString(why);
  return false;
}

}  // namespace snipwave::oggcopy
