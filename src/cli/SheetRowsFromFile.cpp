#include "cli/SheetRowsFromFile.h"

#include <QFileInfo>

#include "cli/CutJobs.h"
#include "components/audio/AudioInterfaces.h"
#include "components/cue/SheetRows.h"
#include "platform/Error.h"
#include "platform/FileHelpers.h"
#include "platform/FileNames.h"

namespace snipwave {

bool ListSheetRows(IAudioFile2& reader, const QString& cuePath, const QString& labelPath, const QString& source,
                   std::vector<JobRow>& rows, QTextStream& err) {
  try {
    const std::vector<SheetRange> ranges =
        cuePath.isEmpty() ? LabelRanges(ReadLabelFile(labelPath), source)
                          : CueSheetRanges(ReadCueSheet(cuePath), QFileInfo(cuePath).absolutePath());
    const std::vector<FramedRange> framed = FrameRanges(ranges, [&reader](const QString& path) {
      // A pipe or a device would block the reader: refused before any open.
      if (const std::optional<QString> reason = NotARegularFile(path)) throw Error(reason->toStdString());
      reader.OpenFile(SystemPath(path), 0, 1);
      const SourceFacts facts{reader.LengthSamples(), static_cast<int>(reader.SampleRate())};
      reader.CloseFile();
      return facts;
    });
    if (framed.size() > static_cast<std::size_t>(kMaxSources)) {
      err << (cuePath.isEmpty() ? labelPath : cuePath) << " gives " << framed.size() << " rows; at most "
          << kMaxSources << " can be cut at once." << Qt::endl;
      return false;
    }
    // A job row carries no title or tags of its own: the outputs are named and
    // tagged as any cut's.
    for (const FramedRange& range : framed) rows.push_back({range.path, range.begin, range.end});
  } catch (const std::exception& e) {
    err << e.what() << Qt::endl;
    return false;
  }
  return true;
}

}  // namespace snipwave
