#include "components/cue/CueWriter.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

#include "components/cue/CueTime.h"
#include "platform/Error.h"

namespace snipwave {

namespace {

// A cue sheet has no escape for '"'.
QString Quoted(QString text) {
  text.replace(QLatin1Char('"'), QLatin1Char('\''));
  text.replace(QLatin1Char('\n'), QLatin1Char(' '));
  return QLatin1Char('"') + text + QLatin1Char('"');
}

QString FileType(const QString& path) {
  const QString suffix = QFileInfo(path).suffix().toLower();
  if (suffix == QLatin1String("mp3")) return QStringLiteral("MP3");
  if (suffix == QLatin1String("aif") || suffix == QLatin1String("aiff")) return QStringLiteral("AIFF");
  return QStringLiteral("WAVE");
}

QString SheetFileName(const QString& path, const QString& sheetFolder) {
  const QString relative = QDir(sheetFolder).relativeFilePath(path);
  return relative.startsWith(QLatin1String("..")) ? QDir::toNativeSeparators(path) : relative;
}

// The value of `field` when every row has the same one; else empty.
QString Shared(const std::vector<SheetRow>& rows, TagField field) {
  const QString first = rows.front().tags.Get(field);
  for (const SheetRow& row : rows)
    if (row.tags.Get(field) != first) return {};
  return first;
}

QString SecondsText(std::int64_t frames, int rate) {
  return QString::number(static_cast<double>(frames) / rate, 'f', 3) + QStringLiteral(" s");
}

}  // namespace

WrittenCueSheet WriteCueSheet(const std::vector<SheetRow>& rows, const QString& sheetFolder) {
  if (rows.empty()) throw Error("There are no rows to write into a cue sheet.");
  WrittenCueSheet sheet;
  QStringList lines;
  const QString album = Shared(rows, TagField::Album);
  QString discPerformer = Shared(rows, TagField::AlbumArtist);
  if (discPerformer.isEmpty()) discPerformer = Shared(rows, TagField::Artist);
  const QString date = Shared(rows, TagField::Date);
  const QString genre = Shared(rows, TagField::Genre);
  if (!genre.isEmpty()) lines << QStringLiteral("REM GENRE ") + Quoted(genre);
  if (!date.isEmpty()) lines << QStringLiteral("REM DATE ") + date.simplified();
  if (!discPerformer.isEmpty()) lines << QStringLiteral("PERFORMER ") + Quoted(discPerformer);
  if (!album.isEmpty()) lines << QStringLiteral("TITLE ") + Quoted(album);

  // Rows by source in order of first appearance, each source's by begin.
  QStringList files;
  for (const SheetRow& row : rows)
    if (!files.contains(row.file)) files << row.file;
  int number = 0;
  int moved = 0;
  for (const QString& file : files) {
    std::vector<const SheetRow*> own;
    for (const SheetRow& row : rows)
      if (row.file == file) own.push_back(&row);
    std::stable_sort(own.begin(), own.end(), [](const SheetRow* a, const SheetRow* b) { return a->begin < b->begin; });
    lines << QStringLiteral("FILE ") + Quoted(SheetFileName(file, sheetFolder)) + QLatin1Char(' ') + FileType(file);
    std::int64_t previousCue = -1;
    for (std::size_t k = 0; k < own.size(); ++k) {
      const SheetRow& row = *own[k];
      const int rate = row.sampleRate;
      std::int64_t cue = SampleFramesToCue(row.begin, rate);
      if (cue <= previousCue) cue = previousCue + 1;  // two tracks cannot start at one index
      previousCue = cue;
      if (CueToSampleFrames(cue, rate) != row.begin) ++moved;
      const std::int64_t runsTo = k + 1 < own.size() ? own[k + 1]->begin : row.length;
      const QString shown = QFileInfo(file).fileName();
      if (row.end != runsTo)
        sheet.notes << QStringLiteral("The end of %1 at %2 is not kept: a cue track runs to %3.")
                           .arg(row.title.isEmpty() ? shown : row.title, SecondsText(row.end, rate),
                                k + 1 < own.size() ? QStringLiteral("the next track's start")
                                                   : QStringLiteral("the file's end"));
      ++number;
      lines << QStringLiteral("  TRACK %1 AUDIO").arg(number, 2, 10, QLatin1Char('0'));
      const QString title = row.title.isEmpty() ? row.tags.Get(TagField::Title) : row.title;
      if (!title.isEmpty()) lines << QStringLiteral("    TITLE ") + Quoted(title);
      const QString performer = row.tags.Get(TagField::Artist);
      if (!performer.isEmpty() && performer != discPerformer) lines << QStringLiteral("    PERFORMER ") + Quoted(performer);
      lines << QStringLiteral("    INDEX 01 ") + CueTimeText(cue);
    }
  }
  if (moved > 0)
    sheet.notes.prepend(QStringLiteral("%1 of %2 track starts moved to the nearest 1/75 s, the unit of a cue sheet.")
                            .arg(moved)
                            .arg(rows.size()));
  sheet.text = (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
  return sheet;
}

}  // namespace snipwave
