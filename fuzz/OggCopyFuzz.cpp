// Ogg files of any content opened for a packet copy: opening either refuses
// with a reason or succeeds; a cut of a range picked from the input's bytes
// either is refused (snipwave::Error) or writes a file that the reader reads
// with exactly the range's length.
#include <QFile>
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "components/audio/SourceDecoder.h"
#include "components/oggcopy/OggCopy.h"
#include "platform/Error.h"

using namespace snipwave;
using fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QString input = fuzz::ScratchFolder() + "/input.ogg";
  {
    QFile f(input);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
    f.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
  }
  std::int64_t length = 0;
  try {
    length = audio::SourceDecoder(input.toStdString()).LengthFrames();
  } catch (const Error&) {
    return 0;
  }
  QString reason;
  const auto source = oggcopy::OggCopySource::Open(input, length, &reason);
  if (!source) {
    Require(!reason.isEmpty());
    return 0;
  }
  Require(source->Length() == length && length > 0);

  // The range: from bytes near the end of the input (stable under most
  // mutations of its start).
  std::uint64_t pick = 0;
  for (std::size_t i = size >= 8 ? size - 8 : 0; i < size; ++i) pick = pick << 8 | data[i];
  const std::int64_t begin = static_cast<std::int64_t>(pick % static_cast<std::uint64_t>(length));
  const std::int64_t end = begin + 1 + static_cast<std::int64_t>((pick >> 32) % static_cast<std::uint64_t>(length - begin));
  if (!source->CanCopy(begin, end, &reason)) {
    Require(!reason.isEmpty());
    return 0;
  }
  const QString output = fuzz::ScratchFolder() + (source->codec() == oggcopy::Codec::kOpus ? "/out.opus" : "/out.ogg");
  try {
    const oggcopy::CopyOutcome outcome = oggcopy::WriteOggCopy({{source.get(), begin, end}}, output, {});
    Require(outcome.decodedFrames == end - begin);
  } catch (const Error&) {
    return 0;
  }
  Require(audio::SourceDecoder(output.toStdString()).LengthFrames() == end - begin);
  return 0;
}
