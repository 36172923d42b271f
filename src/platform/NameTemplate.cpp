#include "platform/NameTemplate.h"

#include <algorithm>

namespace snipwave {

namespace {
constexpr int kMaxStemBytes = 200;
constexpr int kMaxTrackWidth = 9;
}  // namespace

NameTemplate::NameTemplate() : text_(kDefaultText), pieces_{{Kind::Text, "Cut_", 0}, {Kind::Name, {}, 0}} {}

std::optional<NameTemplate> NameTemplate::Parse(const QString& text, QString* error) {
  auto fail = [error, &text](const QString& why) -> std::optional<NameTemplate> {
    if (error) *error = "The name template \"" + text + "\" " + why;
    return std::nullopt;
  };
  if (text.trimmed().isEmpty()) return NameTemplate();
  NameTemplate t;
  t.text_ = text;
  t.pieces_.clear();
  QString literal;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c == '}') return fail("has a \"}\" without its \"{\".");
    if (c != '{') {
      literal += c;
      continue;
    }
    const qsizetype close = text.indexOf('}', i + 1);
    if (close < 0) return fail("has a \"{\" without its \"}\".");
    const QString field = text.mid(i + 1, close - i - 1);
    i = close;
    Piece piece;
    if (field == "title") piece.kind = Kind::Title;
    else if (field == "artist") piece.kind = Kind::Artist;
    else if (field == "name") piece.kind = Kind::Name;
    else if (field == "begin") piece.kind = Kind::Begin;
    else if (field == "n") piece.kind = Kind::Track;
    else if (field.startsWith("n:")) {
      bool ok = false;
      piece.kind = Kind::Track;
      piece.width = field.mid(2).toInt(&ok);
      if (!ok || piece.width < 1 || piece.width > kMaxTrackWidth)
        return fail("pads {n} to " + field.mid(2) + " digits; 1 to 9 are possible.");
    } else {
      return fail("has the field {" + field + "}; the fields are {n}, {n:2}, {title}, {artist}, {name} and {begin}.");
    }
    if (!literal.isEmpty()) t.pieces_.push_back({Kind::Text, literal, 0});
    literal.clear();
    t.pieces_.push_back(piece);
  }
  if (!literal.isEmpty()) t.pieces_.push_back({Kind::Text, literal, 0});
  return t;
}

bool NameTemplate::UsesTags() const {
  for (const Piece& p : pieces_)
    if (p.kind == Kind::Title || p.kind == Kind::Artist) return true;
  return false;
}

QString SafeFileNamePart(const QString& text) {
  QString safe = text;
  for (QChar& c : safe)
    if (c.unicode() < 0x20 || c.unicode() == 0x7f || QStringLiteral("/\\:*?\"<>|").contains(c)) c = '_';
  return safe;
}

QString BeginFieldText(std::int64_t ms) {
  ms = std::max<std::int64_t>(ms, 0);
  const std::int64_t h = ms / 3600000, m = ms / 60000 % 60, s = ms / 1000 % 60, frac = ms % 1000;
  const QString tail = QString("%1.%2").arg(s, 2, 10, QChar('0')).arg(frac, 3, 10, QChar('0'));
  if (h == 0) return QString("%1-").arg(m) + tail;
  return QString("%1-%2-").arg(h).arg(m, 2, 10, QChar('0')) + tail;
}

QString NameTemplate::Expand(const NameFields& f) const {
  QString out;
  for (const Piece& p : pieces_) {
    switch (p.kind) {
      case Kind::Text: out += p.text; break;
      case Kind::Track: out += QString("%1").arg(f.track, p.width, 10, QChar('0')); break;
      case Kind::Title: out += f.title; break;
      case Kind::Artist: out += f.artist; break;
      case Kind::Name: out += f.name; break;
      case Kind::Begin: out += BeginFieldText(f.beginMs); break;
    }
  }
  out = SafeFileNamePart(out).trimmed();
  // Whole characters only: a surrogate pair is never cut in two.
  while (out.toUtf8().size() > kMaxStemBytes) out.chop(out.size() >= 2 && out.back().isLowSurrogate() ? 2 : 1);
  while (out.endsWith('.') || out.endsWith(' ')) out.chop(1);
  if (out.isEmpty() || out == "." || out == "..") return SafeFileNamePart(f.name);
  return out;
}

}  // namespace snipwave
