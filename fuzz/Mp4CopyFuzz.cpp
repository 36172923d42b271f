// M4A files of any content, copied packet by packet: opening either refuses
// with a reason or gives a track whose packets lie inside the file, and a cut
// of a range the input's last bytes choose either fails with snipwave::Error
// or writes a file that opens again with exactly the range's length (or, when
// a packet does not decode, with the length the copy ended at).
#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "components/audio/UniqueFd.h"
#include "components/mp4copy/Mp4Copy.h"
#include "components/mp4copy/SourceTrack.h"
#include "platform/Error.h"

using namespace snipwave;
using fuzz::Require;

namespace {

std::unique_ptr<mp4copy::Mp4Track> Track(const QString& path, QString* why) {
  audio::UniqueFd fd(::open(QFile::encodeName(path).constData(), O_RDONLY));
  Require(static_cast<bool>(fd));
  return mp4copy::ReadMp4Track(fd.get(), why);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QString input = fuzz::ScratchFolder() + "/input.m4a";
  {
    QFile f(input);
    Require(f.open(QIODevice::WriteOnly) && f.write(reinterpret_cast<const char*>(data), qint64(size)) == qint64(size));
  }
  QString why;
  const auto track = Track(input, &why);
  if (!track) {
    Require(!why.isEmpty());
    return 0;
  }
  for (std::size_t i = 0; i < track->sizes.size(); ++i) {
    Require(track->offsets[i] >= 0 && std::uint64_t(track->offsets[i]) + track->sizes[i] <= size);
  }
  const auto source = mp4copy::Mp4CopySource::Open(input, track->length, &why);
  Require(source != nullptr);
  if (source->Length() <= 0) return 0;

  const std::uint8_t a = size > 0 ? data[size - 1] : 0, b = size > 1 ? data[size - 2] : 0;
  const std::int64_t begin = source->Length() * a / 256;
  const std::int64_t end = begin + 1 + (source->Length() - begin - 1) * b / 255;
  const QString output = fuzz::ScratchFolder() + "/output.m4a";
  std::int64_t frames = end - begin;
  try {
    const mp4copy::CopyOutcome outcome = mp4copy::WriteMp4Copy({{source.get(), begin, end}}, output, {});
    // A damaged packet past the range's last frame (the one a decoder reads
    // ahead) ends the copy with the range already whole.
    Require(outcome.damaged ? outcome.decodedFrames <= frames : outcome.decodedFrames == frames);
    frames = outcome.decodedFrames;
  } catch (const Error&) {
    return 0;
  }
  if (frames == 0) return 0;  // the first packet did not decode: nothing was copied
  const auto copied = Track(output, &why);
  Require(copied && copied->length == frames && copied->sampleRate == source->SampleRate());
  return 0;
}
