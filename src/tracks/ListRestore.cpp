#include "tracks/ListRestore.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <optional>

#include "platform/ClockText.h"
#include "platform/MulDiv.h"
#include "tracks/TrackProbe.h"
#include "tracks/TrackRow.h"

namespace snipwave {

namespace {

// The range and length cells and RangeSeconds as marking the row by hand
// leaves them: whole seconds of each mark, truncated, then the difference.
void ShowMarks(TrackRowTexts& texts, Timerec& r) {
  const auto ms = [&r](std::int64_t sample) { return static_cast<std::int32_t>(MulDiv64(sample, r.TotalMs, r.TotalSamples)); };
  const std::int32_t beginMs = ms(r.BeginSample);
  const std::int32_t endMs = ms(r.EndSample);
  texts.cells[kRangeCell] = "  " + ClockTextFromMs(beginMs) + " - " + ClockTextFromMs(endMs);
  r.RangeSeconds = endMs / 1000 - beginMs / 1000;
  texts.cells[kLengthCell] = "  " + ClockTextFromSeconds(r.RangeSeconds);
}

}  // namespace

ListDocument ListDocumentOf(const MainState& state) {
  ListDocument list;
  const ListSnapshot snapshot = TakeListSnapshot(state);
  for (const Timerec& r : snapshot.records) {
    ListFileRow row;
    row.path = r.FilePath;
    row.rate = r.SampleRate;
    row.length = r.TotalSamples;
    row.begin = r.BeginSample;
    row.end = r.EndSample;
    row.title = r.Title;
    row.tags = r.Tags;
    row.tags.cover = {};
    list.rows.push_back(std::move(row));
  }
  list.selected = snapshot.selected;
  return list;
}

ListRows RowsOfDocument(IAudioFile2& reader, const ListDocument& list) {
  ListRows result;
  QHash<QString, std::optional<ProbedTrack>> probed;
  for (const ListFileRow& row : list.rows) {
    if (!probed.contains(row.path)) probed.insert(row.path, ProbeTrack(reader, row.path));
    const std::optional<ProbedTrack>& now = probed[row.path];
    if (!now || now->record.TotalSamples != row.length || now->record.SampleRate != row.rate) {
      if (!result.leftOut.contains(row.path)) result.leftOut.append(row.path);
      continue;
    }
    Timerec record = now->record;
    record.BeginSample = row.begin;
    record.EndSample = row.end;
    record.Title = row.title;
    record.Tags = row.tags;
    TrackRowTexts texts = NewTrackRowTexts(QFileInfo(row.path).fileName(), record.TotalMs, now->sizeText);
    ShowMarks(texts, record);
    if (&row - list.rows.data() == list.selected)
      result.snapshot.selected = static_cast<int>(result.snapshot.records.size());
    result.snapshot.records.push_back(std::move(record));
    result.snapshot.rows.push_back(std::move(texts));
  }
  const int rows = static_cast<int>(result.snapshot.records.size());
  if (result.snapshot.selected < 0 && rows > 0) result.snapshot.selected = 0;
  result.snapshot.lastSelected = std::max(result.snapshot.selected, 0);
  return result;
}

QString LeftOutMessage(const QStringList& leftOut) {
  if (leftOut.isEmpty()) return {};
  QStringList names;
  for (const QString& path : leftOut) names << QDir::toNativeSeparators(path);
  return QStringLiteral("These files are gone or have changed since the list was saved; their rows were not "
                        "added:\r") +
         names.join(QLatin1Char('\r'));
}

}  // namespace snipwave
