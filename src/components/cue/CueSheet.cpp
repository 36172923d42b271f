// Cue sheets are parsed by libcue, the parser the field's players use; what
// it does not cover (byte order marks, Latin-1, REM GENRE) is handled around it.
#include "components/cue/CueSheet.h"

#include <QRegularExpression>
#include <map>
#include <memory>

extern "C" {
#include <libcue.h>
}

#include "components/cue/SheetText.h"
#include "platform/Error.h"

namespace snipwave {

namespace {

struct CdDeleter {
  void operator()(Cd* cd) const { cd_delete(cd); }
};
using CdPtr = std::unique_ptr<Cd, CdDeleter>;

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

[[noreturn]] void Refuse(const std::string& reason) { throw Error(reason); }

}  // namespace

std::vector<CueTrack> ParseCueSheet(const QByteArray& bytes) {
  const QString text = DecodeSheetText(bytes);
  if (text.contains(QChar(0))) Refuse("it holds NUL characters, so it is not a text file");
  const QByteArray utf8 = text.toUtf8();
  const CdPtr cd(cue_parse_string(utf8.constData()));
  if (!cd) Refuse("libcue cannot parse it as a cue sheet (it needs FILE, TRACK and INDEX lines)");
  const int count = cd_get_ntrack(cd.get());
  if (count <= 0) Refuse("it lists no TRACK");

  const Cdtext* disc = cd_get_cdtext(cd.get());
  const QString album = CdText(PTI_TITLE, disc);
  const QString albumArtist = CdText(PTI_PERFORMER, disc);
  Rem* rem = cd_get_rem(cd.get());
  const QString date = rem ? Utf8(rem_get(REM_DATE, rem)) : QString();
  const QString genre = SheetGenre(text);

  std::vector<CueTrack> tracks;
  std::map<QString, std::size_t> lastOfFile;  // index into `tracks` of each FILE's latest track
  for (int i = 1; i <= count; ++i) {
    const Track* track = cd_get_track(cd.get(), i);
    if (!track) Refuse("track " + std::to_string(i) + " cannot be read");
    const std::string name = "track " + std::to_string(i);
    if (track_get_mode(track) != MODE_AUDIO) Refuse(name + " is a data track, not audio");
    const QString file = Utf8(track_get_filename(track));
    if (file.isEmpty()) Refuse(name + " belongs to no FILE");
    const long start = track_get_index(track, 1);
    if (start < 0) Refuse(name + " has no INDEX 01");

    CueTrack t;
    t.number = i;
    t.file = file;
    t.start = start;
    const Cdtext* cdtext = track_get_cdtext(track);
    t.title = CdText(PTI_TITLE, cdtext);
    const QString performer = CdText(PTI_PERFORMER, cdtext);
    t.tags.Set(TagField::Title, t.title);
    t.tags.Set(TagField::Artist, performer.isEmpty() ? albumArtist : performer);
    t.tags.Set(TagField::Album, album);
    t.tags.Set(TagField::AlbumArtist, albumArtist);
    t.tags.Set(TagField::Track, QString::number(i));
    t.tags.Set(TagField::Date, date);
    t.tags.Set(TagField::Genre, genre);

    if (const auto previous = lastOfFile.find(file); previous != lastOfFile.end()) {
      CueTrack& before = tracks[previous->second];
      if (start <= before.start)
        Refuse(name + " starts at or before track " + std::to_string(before.number) + " of the same FILE");
      before.end = start;
    }
    lastOfFile[file] = tracks.size();
    tracks.push_back(std::move(t));
  }
  return tracks;
}

std::vector<CueTrack> ReadCueSheet(const QString& path) {
  const QByteArray bytes = ReadSheetFile(path);
  try {
    return ParseCueSheet(bytes);
  } catch (const Error& e) {
    throw Error::Failed("Read cue sheet", path.toStdString(), e.what());
  }
}

}  // namespace snipwave
