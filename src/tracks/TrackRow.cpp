#include "TrackRow.h"

#include "platform/ClockText.h"

namespace snipwave {

TrackRowTexts NewTrackRowTexts(const QString& fileName, std::int32_t totalMs, const QString& sizeText) {
  const QString length = ClockTextFromMs(totalMs);
  TrackRowTexts texts;
  texts.caption = fileName;
  texts.cells[kRangeCell] = QStringLiteral("  00:00:00 - ") + length;
  texts.cells[kLengthCell] = QStringLiteral("  ") + length;
  texts.cells[kSizeCell] = QStringLiteral("  ") + sizeText;
  texts.cells[kStatusCell] = kUnconvertedStatus;
  return texts;
}

Timerec NewTrackRecord(const QString& filePath, std::int32_t totalMs, std::int64_t lengthSamples) {
  Timerec record;
  record.BeginSample = 0;
  record.EndSample = lengthSamples;
  record.TotalSamples = lengthSamples;
  record.TotalMs = totalMs;
  record.RangeSeconds = totalMs / 1000;
  record.FilePath = filePath;
  return record;
}

}  // namespace snipwave
