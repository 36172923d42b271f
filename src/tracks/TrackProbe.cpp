#include "TrackProbe.h"

#include <exception>

#include "SizeText.h"
#include "TrackRow.h"
#include "platform/FileHelpers.h"
#include "platform/FileNames.h"

namespace snipwave {

namespace {

// The reader takes the path as the system's bytes.
std::string ReaderPath(const QString& path) { return SystemPath(path); }

std::optional<ProbedTrack> ProbeOrThrow(IAudioFile2& reader, const QString& path) {
  const std::optional<std::int64_t> bytes = FileSizeBytes(path);
  if (!bytes) return std::nullopt;
  ProbedTrack probed;
  probed.sizeText = MegabyteSizeText(*bytes);

  if (reader.IsOpen()) reader.CloseFile();
  reader.OpenFile(ReaderPath(path), 0, 1);
  const int totalMs = reader.DurationMs();
  const std::int64_t lengthSamples = reader.LengthSamples();
  reader.CloseFile();

  probed.record = NewTrackRecord(path, totalMs, lengthSamples);
  return probed;
}

}  // namespace

std::optional<ProbedTrack> ProbeTrack(IAudioFile2& reader, const QString& path) {
  std::optional<ProbedTrack> probed;
  try {
    probed = ProbeOrThrow(reader, path);
  } catch (const std::exception&) {
    // The file is skipped; its reason is not reported (the caller may ask
    // the WMA question).
  }
  // Whatever failed, leave the reader closed for the next file.
  if (!probed && reader.IsOpen()) reader.CloseFile();
  return probed;
}

}  // namespace snipwave
