// Cue sheets are parsed by libcue, the parser the field's players use; what
// it does not cover (byte order marks, Latin-1, REM GENRE, data modes it does
// not know, sheets it would read otherwise than their lines say) is handled
// around it: the sheet's own lines are read first (CueLines), libcue reads
// them in a form it reads whole, and the two must agree.
#include "components/cue/CueSheet.h"

#include <QRegularExpression>
#include <map>
#include <optional>

extern "C" {
#include <libcue.h>
}

#include "components/cue/CueLines.h"
#include "components/cue/LibcueParse.h"
#include "components/cue/SheetText.h"
#include "platform/Error.h"

namespace snipwave {

namespace {

QString Utf8(const char* text) { return text ? QString::fromUtf8(text).trimmed() : QString(); }

QString CdText(Pti field, const Cdtext* cdtext) { return cdtext ? Utf8(cdtext_get(field, cdtext)) : QString(); }

// libcue drops REM lines it does not know; the sheet's genre is read here,
// from the lines before the first TRACK.
QString SheetGenre(const QString& text) {
  static const QRegularExpression genre(QStringLiteral("^\\s*REM\\s+GENRE\\s+(.*?)\\s*$"),
                                        QRegularExpression::CaseInsensitiveOption);
  static const QRegularExpression track(QStringLiteral("^\\s*TRACK\\s"), QRegularExpression::CaseInsensitiveOption);
  for (const QString& line : text.split(QLatin1Char('\n'))) {
    if (track.match(line).hasMatch()) break;
    const QRegularExpressionMatch m = genre.match(line);
    if (!m.hasMatch()) continue;
    QString value = m.captured(1);
    if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
      value = value.mid(1, value.size() - 2);
    return value.trimmed();
  }
  return {};
}

[[noreturn]] void Refuse(const QString& reason) { throw Error(reason.toStdString()); }

// libcue's first lines, for a refusal: " (libcue: \"…\", \"…\")".
QString Said(const QStringList& messages) {
  if (messages.isEmpty()) return {};
  QString said = QStringLiteral(" (libcue: \"") + messages.mid(0, 3).join(QStringLiteral("\", \"")) + QLatin1Char('"');
  if (messages.size() > 3) said += QStringLiteral(" and %1 more").arg(messages.size() - 3);
  return said + QLatin1Char(')');
}

// libcue's disc must be the one the lines give: the same tracks, each of
// the same kind and starting at the same INDEX 01.
void CheckAgainstLines(const Cd* cd, const std::vector<CueLineTrack>& lines) {
  const int count = cd_get_ntrack(cd);
  if (count != static_cast<int>(lines.size()))
    Refuse(QStringLiteral("libcue read %1 of its %2 tracks").arg(count).arg(static_cast<int>(lines.size())));
  for (int i = 1; i <= count; ++i) {
    const Track* track = cd_get_track(cd, i);
    const CueLineTrack& line = lines[static_cast<std::size_t>(i - 1)];
    if (!track || track_get_index(track, 1) != line.start || (track_get_mode(track) == MODE_AUDIO) != line.audio())
      Refuse(QStringLiteral("libcue did not read track %1 (line %2) as its lines give it").arg(i).arg(line.line));
  }
}

}  // namespace

CueSheet ParseCueSheet(const QByteArray& bytes) {
  const QString text = DecodeSheetText(bytes);
  if (text.contains(QChar(0))) Refuse(QStringLiteral("it holds NUL characters, so it is not a text file"));
  const CueLines lines = ReadCueLines(text);
  const LibcueParse parse = ParseWithLibcue(lines.forLibcue);
  if (!parse.cd) Refuse(QStringLiteral("libcue cannot parse it as a cue sheet") + Said(parse.messages));
  if (!parse.messages.isEmpty()) Refuse(QStringLiteral("libcue did not read it whole") + Said(parse.messages));
  const Cd* cd = parse.cd.get();
  CheckAgainstLines(cd, lines.tracks);

  const Cdtext* disc = cd_get_cdtext(cd);
  const QString album = CdText(PTI_TITLE, disc);
  const QString albumArtist = CdText(PTI_PERFORMER, disc);
  Rem* rem = cd_get_rem(cd);
  const QString date = rem ? Utf8(rem_get(REM_DATE, rem)) : QString();
  const QString genre = SheetGenre(text);

  CueSheet sheet;
  // The latest track of each FILE line: its number, start and, for an audio
  // track, its index in `sheet.tracks`.
  struct Latest {
    int number;
    std::int64_t start;
    std::optional<std::size_t> audio;
  };
  std::map<int, Latest> latestOfFile;
  for (std::size_t i = 0; i < lines.tracks.size(); ++i) {
    const CueLineTrack& line = lines.tracks[i];
    const int number = static_cast<int>(i) + 1;
    if (const auto previous = latestOfFile.find(line.fileLine); previous != latestOfFile.end()) {
      if (line.start <= previous->second.start)
        Refuse(QStringLiteral("track %1 starts at or before track %2 of the same FILE")
                   .arg(number)
                   .arg(previous->second.number));
      if (previous->second.audio) {
        CueTrack& before = sheet.tracks[*previous->second.audio];
        before.end = line.start;
        before.endAtMost = !line.audio();
      }
    }
    latestOfFile[line.fileLine] = {number, line.start, std::nullopt};
    if (!line.audio()) {
      sheet.notes.push_back(
          QStringLiteral("Track %1 is a data track (%2) and was skipped.").arg(number).arg(line.mode));
      continue;
    }
    CueTrack t;
    t.number = number;
    t.file = line.file;
    t.start = line.start;
    const Cdtext* cdtext = track_get_cdtext(cd_get_track(cd, number));
    t.title = CdText(PTI_TITLE, cdtext);
    const QString performer = CdText(PTI_PERFORMER, cdtext);
    t.tags.Set(TagField::Title, t.title);
    t.tags.Set(TagField::Artist, performer.isEmpty() ? albumArtist : performer);
    t.tags.Set(TagField::Album, album);
    t.tags.Set(TagField::AlbumArtist, albumArtist);
    t.tags.Set(TagField::Track, QString::number(number));
    t.tags.Set(TagField::Date, date);
    t.tags.Set(TagField::Genre, genre);
    latestOfFile[line.fileLine].audio = sheet.tracks.size();
    sheet.tracks.push_back(std::move(t));
  }
  if (sheet.tracks.empty())
    Refuse(QStringLiteral("it lists no audio track (track 1 is a data track, %1)").arg(lines.tracks.front().mode));
  return sheet;
}

CueSheet ReadCueSheet(const QString& path) {
  const QByteArray bytes = ReadSheetFile(path, "a cue sheet");
  try {
    return ParseCueSheet(bytes);
  } catch (const Error& e) {
    throw Error::Failed("Read cue sheet", path.toStdString(), e.what());
  }
}

}  // namespace snipwave
