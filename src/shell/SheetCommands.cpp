#include "shell/SheetCommands.h"

#include <QDir>
#include <QFileInfo>
#include <optional>

#include "components/cue/CueWriter.h"
#include "components/cue/LabelFile.h"
#include "components/cue/SheetRows.h"
#include "components/cue/SheetText.h"
#include "platform/Error.h"
#include "state/MainState.h"
#include "tracks/TrackListCommands.h"
#include "tracks/TrackProbe.h"

namespace snipwave {

namespace {

const FileFilter kCueFilter{QStringLiteral("Cue sheets (*.cue)"), QStringLiteral("*.cue")};
const FileFilter kLabelFilter{QStringLiteral("Label files (*.txt)"), QStringLiteral("*.txt")};

// The rows of the selected row's source, in list order; empty with none selected.
std::vector<int> SelectedSourceRows(const MainState& state) {
  const int selected = state.lv->SelectedRow();
  if (selected < 0 || selected >= state.TrackCount) return {};
  const QString& source = state.TrackTable[static_cast<std::size_t>(selected)].FilePath;
  std::vector<int> rows;
  for (int row = 0; row < state.TrackCount; ++row)
    if (state.TrackTable[static_cast<std::size_t>(row)].FilePath == source) rows.push_back(row);
  return rows;
}

// The save dialog in the source's folder; `extension` added when the name has none.
QString AskSavePath(MainState& state, const QString& source, const FileFilter& filter, const QString& extension) {
  QString path = state.Dialogs->GetSaveFileName(QFileInfo(source).absolutePath(), filter);
  if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty()) path += extension;
  return path;
}

// The source's sample rate, asked of the reader as the add asks it; 0 when it refuses.
int SourceRate(MainState& state, const QString& source, QString& why) {
  const std::optional<ProbedTrack> probed = ProbeTrack(*state.AudioFileRead, source, &why);
  return probed ? probed->sampleRate : 0;
}

// The rate is asked of the reader, which a preview holds: refused meanwhile, as an add is.
bool ExportRefused(const MainState& state) { return state.ListLocked() || state.Playing; }

// What an export writes: the rows of the selected row's source, its rate and
// the file the user chose. Nothing when refused, when the source's rate
// cannot be read (then a message starting with `nothingWritten` says why) or
// when the save dialog was cancelled.
struct ExportTarget {
  std::vector<int> rows;
  int rate = 0;
  QString path;
};

std::optional<ExportTarget> PrepareExport(MainState& state, const QString& nothingWritten, const FileFilter& filter,
                                          const QString& extension) {
  if (ExportRefused(state)) return std::nullopt;
  ExportTarget target;
  target.rows = SelectedSourceRows(state);
  if (target.rows.empty()) return std::nullopt;
  const QString source = state.TrackTable[static_cast<std::size_t>(target.rows.front())].FilePath;
  QString why;
  target.rate = SourceRate(state, source, why);
  if (target.rate <= 0) {
    state.Dialogs->ShowInformation(QStringLiteral("%1: %2: %3").arg(nothingWritten, source, why));
    return std::nullopt;
  }
  target.path = AskSavePath(state, source, filter, extension);
  if (target.path.isEmpty()) return std::nullopt;
  return target;
}

}  // namespace

void SheetCommands::ImportCueSheet() {
  if (state_.ListLocked() || state_.Playing) return;
  const QStringList chosen = state_.Dialogs->GetOpenFileNames({kCueFilter});
  if (chosen.isEmpty()) return;
  const QString sheet = chosen.front();
  std::vector<SheetRange> ranges;
  QStringList notes;
  try {
    const CueSheet read = ReadCueSheet(sheet);
    ranges = CueSheetRanges(read.tracks, QFileInfo(sheet).absolutePath());
    notes = read.notes;
  } catch (const Error& e) {
    state_.Dialogs->ShowInformation(QString::fromUtf8(e.what()));
    return;
  }
  if (tracks_.AddRanges(ranges, sheet) && !notes.isEmpty())
    state_.Dialogs->ShowInformation(QDir::toNativeSeparators(sheet) + QStringLiteral(" was imported.\r") +
                                    notes.join(QLatin1Char('\r')));
}

void SheetCommands::ImportLabels() {
  if (state_.ListLocked() || state_.Playing) return;
  const QStringList chosen = state_.Dialogs->GetOpenFileNames({kLabelFilter});
  if (chosen.isEmpty()) return;
  const QString labelFile = chosen.front();
  std::vector<Label> labels;
  try {
    labels = ReadLabelFile(labelFile);
  } catch (const Error& e) {
    state_.Dialogs->ShowInformation(QString::fromUtf8(e.what()));
    return;
  }
  QString source;
  const int selected = state_.lv->SelectedRow();
  if (selected >= 0 && selected < state_.TrackCount) {
    source = state_.TrackTable[static_cast<std::size_t>(selected)].FilePath;
  } else {
    const QStringList audio = state_.Dialogs->GetOpenFileNames(TrackListCommands::OpenDialogFilters());
    if (audio.isEmpty()) return;
    source = QDir::toNativeSeparators(QFileInfo(audio.front()).absoluteFilePath());
  }
  tracks_.AddRanges(LabelRanges(labels, source), labelFile);
}

void SheetCommands::ExportCueSheet() {
  const std::optional<ExportTarget> target =
      PrepareExport(state_, QStringLiteral("No cue sheet was written"), kCueFilter, QStringLiteral(".cue"));
  if (!target) return;
  std::vector<SheetRow> sheetRows;
  for (const int row : target->rows) {
    const Timerec& r = state_.TrackTable[static_cast<std::size_t>(row)];
    sheetRows.push_back({r.FilePath, r.BeginSample, r.EndSample, r.TotalSamples, target->rate, r.Title, r.Tags});
  }
  const WrittenCueSheet sheet = WriteCueSheet(sheetRows, QFileInfo(target->path).absolutePath());
  WriteSheetFile(target->path, sheet.text);
  if (!sheet.notes.isEmpty())
    state_.Dialogs->ShowInformation(QDir::toNativeSeparators(target->path) + QStringLiteral(" was written.\r") +
                                    sheet.notes.join(QLatin1Char('\r')));
}

void SheetCommands::ExportLabels() {
  const std::optional<ExportTarget> target =
      PrepareExport(state_, QStringLiteral("No label file was written"), kLabelFilter, QStringLiteral(".txt"));
  if (!target) return;
  std::vector<LabelRow> labels;
  for (const int row : target->rows) {
    const Timerec& r = state_.TrackTable[static_cast<std::size_t>(row)];
    labels.push_back({r.BeginSample, r.EndSample, r.Title});
  }
  WriteSheetFile(target->path, WriteLabels(labels, target->rate));
}

}  // namespace snipwave
