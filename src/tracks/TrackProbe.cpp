#include "TrackProbe.h"

#include <QFileInfo>
#include <exception>

#include "SizeText.h"
#include "TrackRow.h"
#include "platform/FileHelpers.h"
#include "platform/FileNames.h"

namespace snipwave {

namespace {

// The reader takes the path as the system's bytes.
std::string ReaderPath(const QString& path) { return SystemPath(path); }

// Why the size of `path` could not be read.
QString SizeFailureReason(const QString& path) {
  const QFileInfo info(path);
  if (!info.exists()) return QStringLiteral("the file does not exist");
  if (!FileExists(path)) return QStringLiteral("not a regular file");
  return QStringLiteral("the file cannot be opened");
}

// The reader's message names the operation and the path ("Open \"<path>\": <why>");
// the list of failures names the path already, so only <why> is kept then.
QString ReaderReason(const std::exception& e, const QString& path) {
  const QString message = QString::fromUtf8(e.what());
  const QString quoted = QLatin1Char('"') + QString::fromStdString(SystemPath(path)) + QStringLiteral("\": ");
  const qsizetype at = message.indexOf(quoted);
  if (at >= 0 && at + quoted.size() < message.size()) return message.mid(at + quoted.size());
  return message.isEmpty() ? QStringLiteral("the reader refused the file") : message;
}

std::optional<ProbedTrack> ProbeOrThrow(IAudioFile2& reader, const QString& path, QString& failure) {
  const std::optional<std::int64_t> bytes = FileSizeBytes(path);
  if (!bytes) {
    failure = SizeFailureReason(path);
    return std::nullopt;
  }
  ProbedTrack probed;
  probed.sizeText = MegabyteSizeText(*bytes);

  if (reader.IsOpen()) reader.CloseFile();
  reader.OpenFile(ReaderPath(path), 0, 1);
  const int totalMs = reader.DurationMs();
  const std::int64_t lengthSamples = reader.LengthSamples();
  const unsigned sampleRate = reader.SampleRate();
  probed.sampleRate = static_cast<int>(sampleRate);
  reader.CloseFile();

  probed.record = NewTrackRecord(path, totalMs, lengthSamples);
  probed.record.SampleRate = static_cast<std::int32_t>(sampleRate);
  return probed;
}

}  // namespace

std::optional<ProbedTrack> ProbeTrack(IAudioFile2& reader, const QString& path, QString* failureReason) {
  std::optional<ProbedTrack> probed;
  QString failure;
  try {
    probed = ProbeOrThrow(reader, path, failure);
  } catch (const std::exception& e) {
    failure = ReaderReason(e, path);  // the file is skipped; the caller reports why
  }
  if (failureReason) *failureReason = failure;
  // Whatever failed, leave the reader closed for the next file.
  if (!probed && reader.IsOpen()) reader.CloseFile();
  return probed;
}

}  // namespace snipwave
