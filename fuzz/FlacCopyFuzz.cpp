// FLAC files of any content, copied frame by frame: opening one either
// refuses with a reason or finds frames that lie inside the file one after
// the other, and a cut whose bounds come from the input's last bytes either
// fails with snipwave::Error or writes a file of exactly the cut's length
// that opens again as a copyable source.
#include <QFile>
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "components/flaccopy/FlacCopy.h"
#include "components/flaccopy/FlacStream.h"
#include "platform/Error.h"

using namespace snipwave;
using fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QString input = fuzz::ScratchFolder() + "/input.flac";
  {
    QFile f(input);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
    f.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
  }
  QString reason;
  const auto stream = flaccopy::ScanFlacStream(input, &reason);
  if (!stream) {
    Require(!reason.isEmpty());
    return 0;
  }
  std::int64_t next = stream->frames.front().offset, sample = 0;
  for (const flaccopy::FlacFrame& f : stream->frames) {
    Require(f.offset == next && f.size > 0 && f.firstSample == sample);
    next += f.size;
    sample += f.blockSize;
  }
  Require(next <= static_cast<std::int64_t>(size) && sample == stream->length);

  const auto source = flaccopy::FlacCopySource::Open(input, stream->length, &reason);
  Require(source != nullptr);
  const std::int64_t length = source->Length();
  const std::uint32_t a = size >= 2 ? (data[size - 1] << 8 | data[size - 2]) : 0;
  const std::uint32_t b = size >= 4 ? (data[size - 3] << 8 | data[size - 4]) : 0;
  const std::int64_t begin = a % (length + 1), end = begin + b % (length - begin + 1);
  const QString output = fuzz::ScratchFolder() + "/output.flac";
  try {
    const auto outcome = flaccopy::WriteFlacCopy({{source.get(), begin, end}}, output, {});
    Require(outcome.decodedFrames == end - begin && outcome.packetsCopied <= outcome.packetsInRanges);
    const auto again = flaccopy::ScanFlacStream(output, &reason);
    Require(again && again->length == end - begin);
  } catch (const Error&) {
  }
  return 0;
}
