// Audio files of any content: opening one either fails with snipwave::Error or
// gives a file whose format is sane and from which a window at the start, in
// the middle and at the end can be read after seeking.
#include <QFile>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "FuzzSupport.h"
#include "components/audio/TAudioFile2.h"
#include "platform/Error.h"

using namespace snipwave;

namespace {

// FFmpeg's probe weighs the file name as well as the content: the extension
// follows the content's own signature, as a real file's would, so a mutated
// WMA still reaches the ASF path (and FLAC, AIFF, M4A and ADTS theirs); anything unrecognised is tried as MP3, the
// most lenient probe.
const char* ExtensionFor(const std::uint8_t* data, std::size_t size) {
  static const std::uint8_t kAsf[] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11};
  if (size >= 4 && std::memcmp(data, "RIFF", 4) == 0) return ".wav";
  if (size >= 4 && std::memcmp(data, "OggS", 4) == 0) return ".ogg";
  if (size >= sizeof kAsf && std::memcmp(data, kAsf, sizeof kAsf) == 0) return ".wma";
  if (size >= 4 && std::memcmp(data, "fLaC", 4) == 0) return ".flac";
  if (size >= 4 && std::memcmp(data, "FORM", 4) == 0) return ".aiff";
  if (size >= 8 && std::memcmp(data + 4, "ftyp", 4) == 0) return ".m4a";
  if (size >= 2 && data[0] == 0xFF && (data[1] & 0xF6) == 0xF0) return ".aac";  // ADTS sync, layer 0
  return ".mp3";
}

using fuzz::Require;

constexpr int kWindowFrames = 4410;  // one preview buffer

void ReadWindow(TAudioFile2& reader) {
  const SampleBuffer buffer = reader.ReadSamples(kWindowFrames);
  Require(buffer.size() % static_cast<std::size_t>(reader.FrameSize()) == 0);
  Require(buffer.size() <= static_cast<std::size_t>(kWindowFrames) * static_cast<std::size_t>(reader.FrameSize()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QString path = fuzz::ScratchFolder() + "/input" + ExtensionFor(data, size);
  {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) != static_cast<qint64>(size))
      std::abort();
  }
  TAudioFile2 reader;
  try {
    reader.OpenFile(path.toStdString());
    Require(reader.IsOpen());
    Require(reader.Channels() > 0 && reader.FrameSize() == reader.Channels());
    Require(reader.SampleRate() > 0);
    const auto length = reader.LengthSamples();
    Require(length >= 0 && reader.DurationMs() >= 0);
    ReadWindow(reader);
    reader.SeekSample(length / 2);
    ReadWindow(reader);
    reader.SeekSample(length > 100 ? length - 100 : 0);
    ReadWindow(reader);
    ReadWindow(reader);
  } catch (const Error&) {
  }
  reader.CloseFile();
  QFile::remove(path);
  return 0;
}
