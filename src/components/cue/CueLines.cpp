#include "components/cue/CueLines.h"

#include <QRegularExpression>
#include <QStringList>

#include "platform/Error.h"

namespace snipwave {

namespace {

constexpr int kMaxTracks = 99;  // libcue's limit, and a CD's
// libcue keeps 1022 bytes of a quoted text and drops the rest unsaid.
constexpr qsizetype kMaxTextBytes = 1000;

[[noreturn]] void Refuse(int line, const QString& why) {
  throw Error(QStringLiteral("line %1: %2").arg(line).arg(why).toStdString());
}

QString Shown(QStringView text) {
  return text.size() > 40 ? text.first(40).toString() + QStringLiteral("…") : text.toString();
}

// The first `count` words of `line` and what follows them, its spaces kept.
struct Words {
  QStringList words;
  QStringView rest;
};
Words SplitWords(QStringView line, int count) {
  Words split;
  qsizetype at = 0;
  while (static_cast<int>(split.words.size()) < count) {
    while (at < line.size() && line[at].isSpace()) ++at;
    if (at == line.size()) break;
    const qsizetype begin = at;
    while (at < line.size() && !line[at].isSpace()) ++at;
    split.words.push_back(line.sliced(begin, at - begin).toString());
  }
  split.rest = line.sliced(at).trimmed();
  return split;
}

// A text as libcue takes it: in double quotes, in single quotes, or bare.
// A double quotation mark left open would run on into the following lines.
QString TextValue(int line, QStringView rest) {
  if (rest.startsWith(QLatin1Char('"'))) {
    if (rest.size() < 2 || !rest.endsWith(QLatin1Char('"')))
      Refuse(line, QStringLiteral("its quotation mark (\") is not closed on the line"));
    return rest.sliced(1, rest.size() - 2).toString();
  }
  if (rest.size() >= 2 && rest.startsWith(QLatin1Char('\'')) && rest.endsWith(QLatin1Char('\'')))
    return rest.sliced(1, rest.size() - 2).toString();
  return rest.toString();
}

// `text` in the one form libcue reads back unchanged: quoted, with no
// quotation mark inside (an apostrophe instead, as the sheets we write have
// it) and no backslash just before the closing mark, which would escape it.
QString QuotedForLibcue(int line, QString text) {
  if (text.toUtf8().size() > kMaxTextBytes)
    Refuse(line, QStringLiteral("its text is longer than %1 bytes").arg(kMaxTextBytes));
  text.replace(QLatin1Char('"'), QLatin1Char('\''));
  if (text.endsWith(QLatin1Char('\\'))) text += QLatin1Char(' ');  // trimmed again when read
  return QLatin1Char('"') + text + QLatin1Char('"');
}

// "mm:ss:ff" (the CD frame, 1/75 s, last) or a bare count of frames, in
// frames. Fields are bounded so libcue's int arithmetic gives the same value.
std::int64_t CueTime(int line, const QString& what, const QString& text) {
  static const QRegularExpression msf(QStringLiteral("^(\\d{1,5}):(\\d{1,2}):(\\d{1,2})$"));
  static const QRegularExpression frames(QStringLiteral("^\\d{1,9}$"));
  if (const QRegularExpressionMatch m = msf.match(text); m.hasMatch())
    return (m.captured(1).toLongLong() * 60 + m.captured(2).toLongLong()) * 75 + m.captured(3).toLongLong();
  if (frames.match(text).hasMatch()) return text.toLongLong();
  Refuse(line, QStringLiteral("%1 \"%2\" is not a time (minutes:seconds:frames, as 03:25:40)").arg(what, Shown(text)));
}

bool IsDataMode(const QString& mode) {
  static const QRegularExpression data(QStringLiteral("^(MODE[12]/\\d{4}|CDI/\\d{4}|CDG)$"));
  return data.match(mode).hasMatch();
}

// Commands this reader takes from libcue (TITLE, PERFORMER, REM DATE) or
// reads itself (FILE, TRACK, INDEX, REM GENRE); the rest are known and not
// needed.
const QStringList kUnusedCommands{"SONGWRITER", "COMPOSER", "ARRANGER", "MESSAGE",  "DISC_ID",  "GENRE",
                                  "TOC_INFO1",  "TOC_INFO2", "UPC_EAN", "SIZE_INFO", "CATALOG", "CDTEXTFILE",
                                  "ISRC",       "FLAGS",    "PREGAP",   "POSTGAP"};

class LineReader {
 public:
  void Read(int line, QStringView text, QString& forLibcue) {
    const Words head = SplitWords(text, 1);
    if (head.words.isEmpty()) return;
    const QString command = head.words.front().toUpper();
    if (command == QLatin1String("FILE")) {
      forLibcue = File(line, head.rest);
    } else if (command == QLatin1String("TRACK")) {
      forLibcue = Track(line, text);
    } else if (command == QLatin1String("INDEX")) {
      forLibcue = Index(line, text);
    } else if (command == QLatin1String("TITLE") || command == QLatin1String("PERFORMER")) {
      forLibcue = command + QLatin1Char(' ') + QuotedForLibcue(line, TextValue(line, head.rest));
    } else if (command == QLatin1String("REM")) {
      const Words rem = SplitWords(text, 2);
      if (rem.words.size() == 2 && rem.words[1].toUpper() == QLatin1String("DATE"))
        forLibcue = QStringLiteral("REM DATE ") + QuotedForLibcue(line, TextValue(line, rem.rest));
    } else if (!kUnusedCommands.contains(command)) {
      Refuse(line, QStringLiteral("\"%1\" is not a cue sheet command").arg(Shown(head.words.front())));
    }
  }

  std::vector<CueLineTrack> Finish() {
    CloseTrack();
    if (pendingFile_ > 0) Refuse(pendingFile_, QStringLiteral("no TRACK follows this FILE"));
    if (tracks_.empty()) throw Error("it lists no TRACK");
    return std::move(tracks_);
  }

 private:
  QString File(int line, QStringView rest) {
    QString name;
    if (rest.startsWith(QLatin1Char('"')) || rest.startsWith(QLatin1Char('\''))) {
      const qsizetype close = rest.lastIndexOf(rest.front());
      if (close == 0) Refuse(line, QStringLiteral("its quotation mark is not closed on the line"));
      name = rest.sliced(1, close - 1).toString();
    } else {
      name = SplitWords(rest, 1).words.value(0);
    }
    if (name.trimmed().isEmpty()) Refuse(line, QStringLiteral("the FILE line names no file"));
    // A FILE between a TRACK and its INDEX 01 is that track's; any other
    // waits for the next TRACK, and one that none takes is a track lost.
    const bool forOpenTrack = !tracks_.empty() && tracks_.back().start < 0;
    if (!forOpenTrack) {
      if (pendingFile_ > 0) Refuse(pendingFile_, QStringLiteral("no TRACK follows this FILE before the next one"));
      pendingFile_ = line;
    }
    file_ = name;
    fileLine_ = line;
    // libcue's copy of the name is never used: the name is ours, whole.
    return QStringLiteral("FILE \"%1\" WAVE").arg(line);
  }

  QString Track(int line, QStringView text) {
    const Words w = SplitWords(text, 4);
    static const QRegularExpression number(QStringLiteral("^\\d{1,3}$"));
    if (w.words.size() != 3 || !w.rest.isEmpty() || !number.match(w.words[1]).hasMatch())
      Refuse(line, QStringLiteral("a TRACK line is TRACK, its number and its mode (as TRACK 01 AUDIO)"));
    CloseTrack();
    if (fileLine_ == 0) Refuse(line, QStringLiteral("TRACK comes before any FILE line"));
    if (static_cast<int>(tracks_.size()) == kMaxTracks)
      Refuse(line, QStringLiteral("the sheet lists more than %1 tracks, and a cue sheet holds at most %1")
                       .arg(kMaxTracks));
    const QString mode = w.words[2].toUpper();
    if (mode != QLatin1String("AUDIO") && !IsDataMode(mode))
      Refuse(line, QStringLiteral("\"%1\" is not a track mode (AUDIO, or a data mode as MODE1/2352)")
                       .arg(Shown(w.words[2])));
    pendingFile_ = 0;
    tracks_.push_back({line, mode, QString(), 0, -1});
    // Data modes are all one to libcue here: this reader keeps the mode.
    return QStringLiteral("TRACK %1 %2")
        .arg(static_cast<int>(tracks_.size()))
        .arg(tracks_.back().audio() ? QStringLiteral("AUDIO") : QStringLiteral("MODE1/2352"));
  }

  QString Index(int line, QStringView text) {
    const Words w = SplitWords(text, 4);
    static const QRegularExpression number(QStringLiteral("^\\d{1,2}$"));
    if (w.words.size() != 3 || !w.rest.isEmpty() || !number.match(w.words[1]).hasMatch())
      Refuse(line, QStringLiteral("an INDEX line is INDEX, its number (00 to 99) and a time (as INDEX 01 03:25:40)"));
    if (tracks_.empty()) Refuse(line, QStringLiteral("INDEX comes before any TRACK"));
    CueLineTrack& track = tracks_.back();
    const int trackNumber = static_cast<int>(tracks_.size());
    const int index = w.words[1].toInt();
    const QString what = QStringLiteral("track %1's INDEX %2").arg(trackNumber).arg(index, 2, 10, QLatin1Char('0'));
    const std::int64_t time = CueTime(line, what, w.words[2]);
    if (index == 1) {
      if (track.start >= 0) Refuse(line, QStringLiteral("track %1 has a second INDEX 01").arg(trackNumber));
      track.start = time;
      track.file = file_;
      track.fileLine = fileLine_;
    }
    return QStringLiteral("INDEX %1 %2").arg(w.words[1], w.words[2]);
  }

  void CloseTrack() const {
    if (!tracks_.empty() && tracks_.back().start < 0)
      Refuse(tracks_.back().line, QStringLiteral("track %1 has no INDEX 01").arg(static_cast<int>(tracks_.size())));
  }

  std::vector<CueLineTrack> tracks_;
  QString file_;         // the FILE in effect
  int fileLine_ = 0;     // its line; 0: none yet
  int pendingFile_ = 0;  // a FILE line no TRACK has taken yet
};

}  // namespace

CueLines ReadCueLines(const QString& text) {
  const QStringList lines = text.split(QLatin1Char('\n'));
  QStringList forLibcue;
  forLibcue.reserve(lines.size());
  LineReader reader;
  for (qsizetype i = 0; i < lines.size(); ++i) {
    QString line;
    reader.Read(static_cast<int>(i) + 1, lines[i], line);
    forLibcue.push_back(line);
  }
  CueLines read;
  read.tracks = reader.Finish();
  read.forLibcue = (forLibcue.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
  return read;
}

}  // namespace snipwave
