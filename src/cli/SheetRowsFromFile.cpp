#include "cli/SheetRowsFromFile.h"

#include <QFileInfo>
#include <QHash>

#include "cli/CutJobs.h"
#include "components/audio/AudioInterfaces.h"
#include "components/cue/SheetRows.h"
#include "platform/Error.h"
#include "platform/FileHelpers.h"
#include "platform/FileNames.h"
#include "platform/MulDiv.h"

namespace snipwave {

bool ListSheetRows(IAudioFile2& reader, const QString& cuePath, const QString& labelPath, const QString& source,
                   std::vector<JobRow>& rows, QTextStream& err) {
  try {
    QStringList notes;  // of the sheet, said once its rows are known
    std::vector<SheetRange> ranges;
    if (cuePath.isEmpty()) {
      ranges = LabelRanges(ReadLabelFile(labelPath), source);
    } else {
      const CueSheet sheet = ReadCueSheet(cuePath);
      ranges = CueSheetRanges(sheet.tracks, QFileInfo(cuePath).absolutePath());
      notes = sheet.notes;
    }
    QHash<QString, int> rates;  // of each source, for the rows' begin times
    const std::vector<FramedRange> framed = FrameRanges(ranges, [&reader, &rates](const QString& path) {
      // A pipe or a device would block the reader: refused before any open.
      if (const std::optional<QString> reason = NotARegularFile(path)) throw Error(reason->toStdString());
      reader.OpenFile(SystemPath(path), 0, 1);
      const SourceFacts facts{reader.LengthSamples(), static_cast<int>(reader.SampleRate())};
      reader.CloseFile();
      rates.insert(path, facts.sampleRate);
      return facts;
    });
    if (framed.size() > static_cast<std::size_t>(kMaxSources)) {
      err << (cuePath.isEmpty() ? labelPath : cuePath) << " gives " << framed.size() << " rows; at most "
          << kMaxSources << " can be cut at once." << Qt::endl;
      return false;
    }
    // Each row keeps the sheet's title and tags for its output's name and tags.
    for (const FramedRange& range : framed) {
      JobRow row{range.path, range.begin, range.end, range.title, range.tags};
      const int rate = rates.value(range.path);
      row.beginMs = rate > 0 ? MulDiv64(range.begin, 1000, rate) : 0;
      rows.push_back(row);
    }
    for (const QString& note : notes) err << cuePath << ": " << note << Qt::endl;
  } catch (const std::exception& e) {
    err << e.what() << Qt::endl;
    return false;
  }
  return true;
}

}  // namespace snipwave
