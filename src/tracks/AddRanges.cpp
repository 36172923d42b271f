// Rows from a cue sheet or label file: the add's probe and append, with the
// marks, titles and tags the file gives.
#include <QDir>
#include <QFileInfo>
#include <map>

#include "TrackListCommands.h"
#include "TrackProbe.h"
#include "TrackRow.h"
#include "platform/ClockText.h"
#include "platform/Error.h"
#include "platform/MulDiv.h"
#include "state/RowReadouts.h"

namespace snipwave {

namespace {

QString RangeCellText(const Timerec& r, std::int32_t& beginMs, std::int32_t& endMs) {
  beginMs = static_cast<std::int32_t>(MulDiv64(r.BeginSample, r.TotalMs, r.TotalSamples));
  endMs = static_cast<std::int32_t>(MulDiv64(r.EndSample, r.TotalMs, r.TotalSamples));
  return QStringLiteral("  ") + ClockTextFromMs(beginMs) + QStringLiteral(" - ") + ClockTextFromMs(endMs);
}

}  // namespace

bool TrackListCommands::AddRanges(const std::vector<SheetRange>& ranges, const QString& sheetPath) {
  if (ListBusy() || state_.Playing || ranges.empty()) return false;
  const QString sheet = QDir::toNativeSeparators(sheetPath);
  std::map<QString, ProbedTrack> probed;
  std::vector<FramedRange> framed;
  try {
    framed = FrameRanges(ranges, [&](const QString& path) {
      QString why;
      std::optional<ProbedTrack> track = ProbeTrack(*state_.AudioFileRead, path, &why);
      if (!track) throw Error((path + QStringLiteral(": ") + why).toStdString());
      const SourceFacts facts{track->record.TotalSamples, track->sampleRate};
      probed.emplace(path, std::move(*track));
      return facts;
    });
  } catch (const Error& e) {
    state_.Dialogs->ShowInformation(sheet + QStringLiteral(" was not imported: ") + QString::fromUtf8(e.what()));
    return false;
  }
  const int free = kTrackTableSize - state_.lv->RowCount();
  if (static_cast<int>(framed.size()) > free) {
    state_.Dialogs->ShowInformation(
        QStringLiteral("%1 was not imported: it gives %2 rows, but the list has room for %3 more (it holds at most %4).")
            .arg(sheet)
            .arg(framed.size())
            .arg(free)
            .arg(kTrackTableSize));
    return false;
  }
  for (const FramedRange& range : framed) {
    const ProbedTrack& source = probed.at(range.path);
    Timerec record = source.record;
    record.BeginSample = range.begin;
    record.EndSample = range.end;
    record.Title = range.title;
    record.Tags = range.tags;
    TrackRowTexts texts = NewTrackRowTexts(QFileInfo(range.path).fileName(), record.TotalMs, source.sizeText);
    std::int32_t beginMs = 0;
    std::int32_t endMs = 0;
    texts.cells[kRangeCell] = RangeCellText(record, beginMs, endMs);
    // Whole seconds of each mark, truncated, then the difference, as marking does.
    record.RangeSeconds = endMs / 1000 - beginMs / 1000;
    texts.cells[kLengthCell] = QStringLiteral("  ") + ClockTextFromSeconds(record.RangeSeconds);
    const int row = state_.lv->RowCount();
    state_.TrackTable[static_cast<std::size_t>(row)] = record;
    state_.lv->AppendRow(texts);
    state_.TrackCount = state_.lv->RowCount();
  }
  FinishAdd(AddKind::Files, {});
  // The add shows a fresh file's readouts; these rows have marks of their own.
  ShowRowReadouts(state_);
  return true;
}

}  // namespace snipwave
