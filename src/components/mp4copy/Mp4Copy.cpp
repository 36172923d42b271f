#include "Mp4Copy.h"

#include <fcntl.h>

#include <QFile>

#include <cerrno>
#include <cstring>

#include "SourceTrack.h"
#include "components/audio/UniqueFd.h"

namespace snipwave::mp4copy {

Mp4CopySource::Mp4CopySource(QString path, std::unique_ptr<Mp4Track> track)
    : path_(std::move(path)), track_(std::move(track)) {}

Mp4CopySource::~Mp4CopySource() = default;

std::unique_ptr<Mp4CopySource> Mp4CopySource::Open(const QString& path, std::int64_t decodedLength, QString* reason) {
  QString why;
  audio::UniqueFd fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
  std::unique_ptr<Mp4Track> track;
  if (!fd) {
    why = QStringLiteral("it cannot be opened (%1)").arg(QString::fromLocal8Bit(std::strerror(errno)));
  } else {
    track = ReadMp4Track(fd.get(), &why);
  }
  if (track && track->length != decodedLength) {
    why = QStringLiteral("its packets do not add up to its length");
    track.reset();
  }
  if (!track) {
    if (reason) *reason = why;
    return nullptr;
  }
  return std::unique_ptr<Mp4CopySource>(new Mp4CopySource(path, std::move(track)));
}

int Mp4CopySource::SampleRate() const { return track_->sampleRate; }
int Mp4CopySource::Channels() const { return track_->channels; }
std::int64_t Mp4CopySource::Length() const { return track_->length; }
std::int64_t Mp4CopySource::Delay() const { return track_->delay; }
std::int64_t Mp4CopySource::Packets() const { return static_cast<std::int64_t>(track_->sizes.size()); }

bool Mp4CopySource::SameSetup(const Mp4CopySource& other) const {
  return track_->audioSpecificConfig == other.track_->audioSpecificConfig &&
         track_->sampleRate == other.track_->sampleRate && track_->channels == other.track_->channels;
}

}  // namespace snipwave::mp4copy
