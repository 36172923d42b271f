// MP3 files of any content, copied frame by frame: reading the frame layout
// either fails with snipwave::Error or gives frames that lie inside the
// file, and a copy of the middle half of its decoded length either fails
// with snipwave::Error or writes a file whose decoded length is that half.
#include <QFile>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "FuzzSupport.h"
#include "components/mp3copy/EdgeEncoder.h"
#include "components/mp3copy/FrameCopy.h"
#include "components/mp3copy/Mp3Frames.h"
#include "platform/Error.h"

using namespace snipwave;
using fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  mp3copy::Mp3Stream stream;
  try {
    stream = mp3copy::ReadMp3Stream(data, size, "input.mp3");
  } catch (const Error&) {
    return 0;
  }
  for (const mp3copy::Mp3Frame& f : stream.frames) {
    Require(f.offset >= 0 && f.size > 0 && std::size_t(f.offset) + std::size_t(f.size) <= size);
    Require(f.slotOffset <= f.size);
  }
  if (stream.frames.empty() || stream.length <= 0) return 0;

  const std::int64_t begin = stream.length / 4, end = stream.length - stream.length / 4;
  const mp3copy::CopyRange range{&stream, mp3copy::BytesInMemory(data, size), begin, end};
  const auto silence = [&](int, std::int64_t, std::int64_t count) {
    return std::vector<float>(std::size_t(count) * std::size_t(stream.channels), 0.0f);
  };
  const std::string output = (fuzz::ScratchFolder() + "/output.mp3").toStdString();
  try {
    const mp3copy::CopyOutcome outcome =
        mp3copy::WriteFrameCopy({range}, silence, mp3copy::EdgeEncodingFor(stream), output, {});
    Require(outcome.decodedFrames == end - begin);
  } catch (const Error&) {
  }
  return 0;
}
