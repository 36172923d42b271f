#include "components/skin/SkinParser.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <cmath>
#include <map>
#include <set>
#include <stdexcept>

#include "components/skin/GlyphPath.h"
#include "components/skin/StyleSheetCheck.h"
#include "platform/Error.h"

namespace snipwave::skin {

namespace {

struct ParseError {
  int line;
  QString message;
};

[[noreturn]] void Fail(int line, const QString& message) { throw ParseError{line, message}; }

// One logical line: its number (of its first physical line) and its tokens.
struct Line {
  int number = 0;
  QStringList tokens;
};

// Splits a line into blank-separated tokens. A double-quoted part may hold
// blanks and the escapes \" and \\; it can sit inside a token (tip="A b").
// A line starting with "#", and "#" followed by a blank or the end of the
// line anywhere, start a comment (colours such as #1b1e24 are no comments).
QStringList Tokenize(const QString& text, int lineNumber) {
  QStringList tokens;
  int i = 0;
  const int n = text.size();
  while (i < n) {
    while (i < n && text[i].isSpace()) ++i;
    if (i >= n) break;
    if (text[i] == '#' && (tokens.isEmpty() || i + 1 >= n || text[i + 1].isSpace())) break;
    QString token;
    while (i < n && !text[i].isSpace()) {
      if (text[i] == '"') {
        ++i;
        bool closed = false;
        while (i < n) {
          if (text[i] == '\\' && i + 1 < n && (text[i + 1] == '"' || text[i + 1] == '\\')) {
            token += text[i + 1];
            i += 2;
          } else if (text[i] == '"') {
            closed = true;
            ++i;
            break;
          } else {
            token += text[i++];
          }
        }
        if (!closed) Fail(lineNumber, "a quoted text is not closed with \"");
      } else {
        token += text[i++];
      }
    }
    tokens << token;
  }
  return tokens;
}

// Every number of a skin file lies in a range that makes sense on a screen, so
// that no later arithmetic on it (edges, insets, scaled glyphs) can overflow.
constexpr int kMaxPixels = 4000;          // the largest window, each way
constexpr double kMaxGlyphUnits = 10000;  // glyph boxes and the shapes in them

struct Attr {
  QString value;
  int line = 0;
};
using AttrMap = std::map<QString, Attr>;

const std::set<QString>& KnownAttributes() {
  static const std::set<QString> known = {
      "style",       "fill",          "fill-hover", "fill-pressed", "border",      "border-hover",
      "border-pressed", "border-width", "radius",   "colour",       "colour-hover", "colour-pressed",
      "glyph",       "glyph-size",    "image",      "text",         "font",        "align",
      "padding",     "tip",           "visible",    "track",        "track-fill",  "thumb",
      "thumb-hover", "thumb-pressed", "track-height", "thumb-size", "range", "begin-mark", "end-mark",
      "position", "ruler", "anchor", "fill-checked", "border-checked", "colour-checked",
      "min-height", "preferred-height", "pane"};
  return known;
}

const std::set<QString>& PaletteRoles() {
  static const std::set<QString> roles = {"window", "text", "base", "alternate-base", "button", "button-text",
                                          "highlight", "highlighted-text", "line", "muted", "link", "tip",
                                          "tip-text"};
  return roles;
}

class Parser {
 public:
  Parser(const QString& text, const QString& fileName)
      : lines_(SplitLines(text)), baseDir_(QFileInfo(fileName).absoluteDir()) {
    doc_.fileName = fileName;
  }

  SkinDocument Run() {
    Line line;
    while (NextLine(line)) {
      const QString& keyword = line.tokens[0];
      if (keyword == "skin") {
        ExpectCount(line, 2, "skin <format version>");
        if (line.tokens[1] != "1") Fail(line.number, "unsupported skin format version \"" + line.tokens[1] + "\" (this program reads version 1)");
      } else if (keyword == "colour" || keyword == "color") {
        DefineColour(line);
      } else if (keyword == "font") {
        DefineFont(line);
      } else if (keyword == "glyph") {
        DefineGlyph(line);
      } else if (keyword == "style") {
        DefineStyle(line);
      } else if (keyword == "layout") {
        DefineLayout(line);
      } else if (keyword == "end") {
        Fail(line.number, "\"end\" without an open block");
      } else {
        Fail(line.number, "unknown keyword \"" + keyword + "\"");
      }
    }
    if (doc_.layouts.empty()) Fail(0, "the file defines no layout");
    return std::move(doc_);
  }

 private:
  // Lines end with LF, CR LF or a lone CR, whatever wrote the file.
  static QStringList SplitLines(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text.split('\n');
  }

  // Next non-blank, non-comment logical line; a trailing "\" joins the next line.
  bool NextLine(Line& out) {
    out = Line{};
    while (index_ < lines_.size()) {
      const int number = index_ + 1;
      QStringList tokens = Tokenize(lines_[index_++], number);
      if (out.number == 0) out.number = number;
      bool continued = !tokens.isEmpty() && tokens.last() == "\\";
      if (continued) tokens.removeLast();
      out.tokens += tokens;
      if (continued) continue;
      if (!out.tokens.isEmpty()) return true;
      out.number = 0;
    }
    if (!out.tokens.isEmpty()) return true;
    return false;
  }

  // The raw lines of a block up to its "end" line (for the controls' style sheet).
  QString RawBlock(int openedAt, const QString& what) {
    QStringList raw;
    while (index_ < lines_.size()) {
      const QString text = lines_[index_++];
      if (text.trimmed() == "end") return raw.join('\n');
      raw << text;
    }
    Fail(openedAt, "the " + what + " block opened here is not closed with \"end\"");
  }

  static void ExpectCount(const Line& line, int count, const QString& usage) {
    if (line.tokens.size() != count) Fail(line.number, "expected: " + usage);
  }

  static int Int(const QString& token, int line, const QString& what, int min, int max) {
    bool ok = false;
    const qlonglong value = token.toLongLong(&ok);
    if (!ok && !IsWholeNumber(token)) Fail(line, what + " must be a whole number, not \"" + token + "\"");
    if (!ok || value < min || value > max)
      Fail(line, QString("%1 must lie between %2 and %3, not %4").arg(what).arg(min).arg(max).arg(token));
    return static_cast<int>(value);
  }

  static bool IsWholeNumber(const QString& token) {
    int i = token.startsWith('-') || token.startsWith('+') ? 1 : 0;
    if (i >= token.size()) return false;
    for (; i < token.size(); ++i)
      if (token[i] < '0' || token[i] > '9') return false;
    return true;
  }

  static double Number(const QString& token, int line, const QString& what, double min, double max) {
    bool ok = false;
    const double value = token.toDouble(&ok);
    if (!ok || !std::isfinite(value)) Fail(line, what + " must be a number, not \"" + token + "\"");
    if (value < min || value > max)
      Fail(line, QString("%1 must lie between %2 and %3, not %4").arg(what).arg(min).arg(max).arg(token));
    return value;
  }

  static double GlyphNumber(const QString& token, int line, const QString& what) {
    return Number(token, line, what, -kMaxGlyphUnits, kMaxGlyphUnits);
  }

  static bool IsName(const QString& token) {
    if (token.isEmpty() || token[0].isDigit() || token[0] == '-') return false;
    for (QChar c : token)
      if (!(c.isLetterOrNumber() || c == '_' || c == '-' || c == '.')) return false;
    return true;
  }

  static QString Name(const Line& line, int index, const QString& what) {
    if (index >= line.tokens.size()) Fail(line.number, what + " name is missing");
    const QString& token = line.tokens[index];
    if (!IsName(token)) Fail(line.number, "\"" + token + "\" is not a valid " + what + " name");
    return token;
  }

  QColor Colour(const QString& token, int line) const {
    if (token == "none") return QColor(0, 0, 0, 0);
    if (token.startsWith('#')) {
      const QString hex = token.mid(1);
      bool ok = false;
      const uint value = hex.toUInt(&ok, 16);
      if (ok && hex.size() == 3)
        return QColor(((value >> 8) & 0xF) * 17, ((value >> 4) & 0xF) * 17, (value & 0xF) * 17);
      if (ok && hex.size() == 6) return QColor((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
      if (ok && hex.size() == 8)
        return QColor((value >> 24) & 0xFF, (value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
      Fail(line, "\"" + token + "\" is not a colour (use #rgb, #rrggbb or #rrggbbaa)");
    }
    auto it = colours_.find(token);
    if (it == colours_.end()) Fail(line, "unknown colour \"" + token + "\"");
    return it->second;
  }

  // "c", "c/c" (top to bottom) or "c>c" (left to right).
  Paint PaintOf(const QString& token, int line) const {
    Paint paint;
    for (auto [separator, direction] : {std::pair{'/', Paint::Direction::Vertical}, std::pair{'>', Paint::Direction::Horizontal}}) {
      const int at = token.indexOf(QChar(separator));
      if (at > 0) {
        paint.from = Colour(token.left(at), line);
        paint.to = Colour(token.mid(at + 1), line);
        paint.direction = direction;
        return paint;
      }
    }
    paint.from = Colour(token, line);
    return paint;
  }

  void DefineColour(const Line& line) {
    ExpectCount(line, 3, "colour <name> <#rrggbb>");
    colours_[Name(line, 1, "colour")] = Colour(line.tokens[2], line.number);
  }

  // font <name> "<family>[, <fallback> ...]" <pixel size> [light|normal|medium|semibold|bold] [italic] [tracking=<px>]
  void DefineFont(const Line& line) {
    if (line.tokens.size() < 4) Fail(line.number, "expected: font <name> \"<family>\" <pixel size> [weight] [italic]");
    const QString name = Name(line, 1, "font");
    QFont font;
    QStringList families;
    for (const QString& family : line.tokens[2].split(',')) families << family.trimmed();
    font.setFamilies(families);
    const int size = Int(line.tokens[3], line.number, "the font size", 4, 200);
    font.setPixelSize(size);
    font.setStyleStrategy(QFont::PreferAntialias);
    static const std::map<QString, QFont::Weight> weights = {{"light", QFont::Light},
                                                             {"normal", QFont::Normal},
                                                             {"medium", QFont::Medium},
                                                             {"semibold", QFont::DemiBold},
                                                             {"bold", QFont::Bold}};
    for (int i = 4; i < line.tokens.size(); ++i) {
      const QString& option = line.tokens[i];
      if (auto w = weights.find(option); w != weights.end()) {
        font.setWeight(w->second);
      } else if (option == "italic") {
        font.setItalic(true);
      } else if (option.startsWith("tracking=")) {
        font.setLetterSpacing(QFont::AbsoluteSpacing, Number(option.mid(9), line.number, "tracking", -100, 100));
      } else {
        Fail(line.number, "unknown font option \"" + option + "\"");
      }
    }
    fonts_[name] = font;
  }

  // glyph <name> <width> <height>, then lines of
  //   fill|stroke <width>  path <svg path data> | circle <cx> <cy> <r> | rect <x> <y> <w> <h> [<r>]
  // up to "end".
  void DefineGlyph(const Line& header) {
    ExpectCount(header, 4, "glyph <name> <width> <height>");
    auto glyph = std::make_shared<Glyph>();
    const QString name = Name(header, 1, "glyph");
    glyph->box = QSizeF(Number(header.tokens[2], header.number, "the glyph width", 0, kMaxGlyphUnits),
                        Number(header.tokens[3], header.number, "the glyph height", 0, kMaxGlyphUnits));
    if (glyph->box.width() <= 0 || glyph->box.height() <= 0) Fail(header.number, "the glyph box must not be empty");
    Line line;
    while (true) {
      if (!NextLine(line)) Fail(header.number, "the glyph \"" + name + "\" is not closed with \"end\"");
      if (line.tokens[0] == "end" && line.tokens.size() == 1) break;
      Glyph::Part part;
      int i = 0;
      if (line.tokens[i] == "stroke") {
        part.stroke = true;
        if (line.tokens.size() < 3) Fail(line.number, "expected: stroke <width> path|circle|rect ...");
        part.strokeWidth = Number(line.tokens[++i], line.number, "the stroke width", 0, kMaxGlyphUnits);
      } else if (line.tokens[i] != "fill") {
        Fail(line.number, "a glyph line starts with \"fill\" or \"stroke\", not \"" + line.tokens[i] + "\"");
      }
      if (++i >= line.tokens.size()) Fail(line.number, "a shape (path, circle or rect) is missing");
      const QString shape = line.tokens[i++];
      const QStringList args = line.tokens.mid(i);
      if (shape == "path") {
        try {
          part.path = ParseGlyphPath(args.join(' '), kMaxGlyphUnits);
        } catch (const std::invalid_argument& e) {
          Fail(line.number, "bad path data: " + QString::fromUtf8(e.what()));
        }
      } else if (shape == "circle") {
        if (args.size() != 3) Fail(line.number, "expected: circle <cx> <cy> <r>");
        const double r = Number(args[2], line.number, "the radius", 0, kMaxGlyphUnits);
        part.path.addEllipse(QPointF(GlyphNumber(args[0], line.number, "cx"), GlyphNumber(args[1], line.number, "cy")), r, r);
      } else if (shape == "rect") {
        if (args.size() != 4 && args.size() != 5) Fail(line.number, "expected: rect <x> <y> <w> <h> [<corner radius>]");
        const QRectF r(GlyphNumber(args[0], line.number, "x"), GlyphNumber(args[1], line.number, "y"),
                       Number(args[2], line.number, "w", 0, kMaxGlyphUnits), Number(args[3], line.number, "h", 0, kMaxGlyphUnits));
        const double radius = args.size() == 5 ? Number(args[4], line.number, "the corner radius", 0, kMaxGlyphUnits) : 0;
        part.path.addRoundedRect(r, radius, radius);
      } else {
        Fail(line.number, "unknown glyph shape \"" + shape + "\" (path, circle or rect)");
      }
      glyph->parts.push_back(std::move(part));
    }
    if (glyph->parts.empty()) Fail(header.number, "the glyph \"" + name + "\" draws nothing");
    glyphs_[name] = std::move(glyph);
  }

  // key=value tokens into `into`, checking that each key is known. A style=
  // reference copies that style's attributes first, so later ones override.
  void ReadAttributes(const Line& line, int first, AttrMap& into) const {
    for (int i = first; i < line.tokens.size(); ++i) {
      const QString& token = line.tokens[i];
      const int eq = token.indexOf('=');
      if (eq <= 0) Fail(line.number, "expected key=value, found \"" + token + "\"");
      const QString key = token.left(eq);
      if (!KnownAttributes().count(key)) Fail(line.number, "unknown attribute \"" + key + "\"");
      const QString value = token.mid(eq + 1);
      if (key == "style") {
        auto style = styles_.find(value);
        if (style == styles_.end()) Fail(line.number, "unknown style \"" + value + "\"");
        for (const auto& [k, v] : style->second) into[k] = v;
      } else {
        into[key] = Attr{value, line.number};
      }
    }
  }

  void DefineStyle(const Line& header) {
    if (header.tokens.size() < 2) Fail(header.number, "expected: style <name> [key=value ...]");
    const QString name = Name(header, 1, "style");
    AttrMap attrs;
    ReadAttributes(header, 2, attrs);
    // With attributes on its first line a style is complete; a bare name
    // opens a block of attribute lines closed by "end".
    if (header.tokens.size() > 2) {
      styles_[name] = std::move(attrs);
      return;
    }
    Line line;
    while (true) {
      if (!NextLine(line)) Fail(header.number, "the style \"" + name + "\" is not closed with \"end\"");
      if (line.tokens[0] == "end" && line.tokens.size() == 1) break;
      ReadAttributes(line, 0, attrs);
    }
    styles_[name] = std::move(attrs);
  }

  void DefineLayout(const Line& header) {
    ExpectCount(header, 4, "layout <name> <width> <height>");
    LayoutSpec layout;
    layout.name = Name(header, 1, "layout");
    layout.line = header.number;
    if (doc_.Find(layout.name)) Fail(header.number, "the layout \"" + layout.name + "\" is defined twice");
    layout.size = QSize(Int(header.tokens[2], header.number, "the window width", 50, kMaxPixels),
                        Int(header.tokens[3], header.number, "the window height", 50, kMaxPixels));
    Line line;
    while (true) {
      if (!NextLine(line)) Fail(header.number, "the layout \"" + layout.name + "\" is not closed with \"end\"");
      const QString& keyword = line.tokens[0];
      if (keyword == "end" && line.tokens.size() == 1) break;
      if (keyword == "background") {
        ExpectCount(line, 2, "background <colour or gradient>");
        layout.background = PaintOf(line.tokens[1], line.number);
      } else if (keyword == "palette") {
        if (line.tokens.size() < 2) Fail(line.number, "expected: palette <role>=<colour> ...");
        for (int i = 1; i < line.tokens.size(); ++i) {
          const QString& token = line.tokens[i];
          const int eq = token.indexOf('=');
          if (eq <= 0) Fail(line.number, "expected role=colour, found \"" + token + "\"");
          if (!PaletteRoles().count(token.left(eq))) Fail(line.number, "unknown palette role \"" + token.left(eq) + "\"");
          layout.palette[token.left(eq)] = Colour(token.mid(eq + 1), line.number);
        }
      } else if (keyword == "controls-style") {
        ExpectCount(line, 1, "controls-style (then the style sheet lines, then end)");
        layout.controlsStyleSheet = RawBlock(line.number, "controls-style");
        if (!IsValidStyleSheet(layout.controlsStyleSheet))
          Fail(line.number, "the controls-style block is not a style sheet Qt can read");
      } else {
        layout.items.push_back(Item(line, layout));
      }
    }
    doc_.layouts.push_back(std::move(layout));
  }

  ItemSpec Item(const Line& line, const LayoutSpec& layout) const {
    static const std::map<QString, ItemKind> kinds = {
        {"button", ItemKind::Button}, {"text", ItemKind::Text},   {"slider", ItemKind::Slider},
        {"progress", ItemKind::Progress}, {"panel", ItemKind::Panel}, {"label", ItemKind::Label},
        {"icon", ItemKind::Icon}, {"waveform", ItemKind::Waveform}, {"control", ItemKind::Control},
        {"splitter", ItemKind::Splitter}};
    auto kind = kinds.find(line.tokens[0]);
    if (kind == kinds.end()) Fail(line.number, "unknown layout entry \"" + line.tokens[0] + "\"");
    ItemSpec item;
    item.kind = kind->second;
    item.line = line.number;
    int i = 1;
    if (IsNamedKind(item.kind)) {
      item.name = Name(line, i++, line.tokens[0]);
      if (layout.Find(item.name)) Fail(line.number, "the object name \"" + item.name + "\" is used twice in this layout");
    }
    if (line.tokens.size() < i + 4)
      Fail(line.number, "expected: " + line.tokens[0] + (IsNamedKind(item.kind) ? " <name>" : "") +
                            " <left> <top> <width> <height> [key=value ...]");
    // Each edge lies within the largest window, so left + width cannot overflow.
    const int left = Int(line.tokens[i], line.number, "left", -kMaxPixels, kMaxPixels);
    const int top = Int(line.tokens[i + 1], line.number, "top", -kMaxPixels, kMaxPixels);
    const int width = Int(line.tokens[i + 2], line.number, "width", -kMaxPixels, kMaxPixels);
    const int height = Int(line.tokens[i + 3], line.number, "height", -kMaxPixels, kMaxPixels);
    if (width < 0 || height <= 0 || (width == 0 && item.kind != ItemKind::Progress))
      Fail(line.number, "the rectangle must have a positive width and height");
    item.rect = QRect(left, top, width, height);
    if (!QRect(QPoint(0, 0), layout.size).contains(item.rect.adjusted(0, 0, width == 0 ? 1 : 0, 0)))
      Fail(line.number, QString("the rectangle lies outside the %1 x %2 window").arg(layout.size.width()).arg(layout.size.height()));
    if (item.kind == ItemKind::Text || item.kind == ItemKind::Label) item.align = Qt::AlignLeft | Qt::AlignVCenter;
    if (auto f = fonts_.find("default"); f != fonts_.end()) item.font = f->second;
    else item.font.setPixelSize(12);
    AttrMap attrs;
    ReadAttributes(line, i + 4, attrs);
    for (const auto& [key, attr] : attrs) Apply(item, key, attr);
    if (item.kind == ItemKind::Icon && !item.glyph && item.image.isNull())
      Fail(line.number, "an icon needs glyph= or image=");
    if (item.minHeight > item.rect.height())
      Fail(line.number, "min-height cannot exceed the item's own height; the window is never smaller than its layout");
    if (item.preferredHeight > 0 && item.preferredHeight < std::max(item.minHeight, 1))
      Fail(line.number, "preferred-height cannot be less than min-height");
    if (item.kind == ItemKind::Splitter) CheckSplitter(item, layout, line.number);
    else if (!item.pane.isEmpty()) Fail(line.number, "only a splitter takes pane=");
    return item;
  }

  // A splitter moves with the extra height it hands out and sets the height
  // of one pane below it, defined before it and anchored split+bottom.
  static void CheckSplitter(ItemSpec& item, const LayoutSpec& layout, int line) {
    if (layout.Splitter()) Fail(line, "a layout has at most one splitter");
    if (item.pane.isEmpty()) Fail(line, "a splitter needs pane=<the item below it>");
    const ItemSpec* pane = layout.Find(item.pane);
    if (!pane) Fail(line, "unknown pane \"" + item.pane + "\" (define it before the splitter)");
    if (pane->anchorY != Anchor::SplitBelow) Fail(line, "the pane \"" + item.pane + "\" must be anchored split+bottom");
    if (pane->rect.top() < item.rect.top() + item.rect.height())
      Fail(line, "the pane \"" + item.pane + "\" must lie below the splitter");
    item.anchorY = Anchor::Split;
  }

  void Apply(ItemSpec& item, const QString& key, const Attr& attr) const {
    const QString& v = attr.value;
    const int line = attr.line;
    if (key == "fill") item.fill.normal = PaintOf(v, line);
    else if (key == "fill-hover") item.fill.hover = PaintOf(v, line);
    else if (key == "fill-pressed") item.fill.pressed = PaintOf(v, line);
    else if (key == "border") item.border.normal = PaintOf(v, line);
    else if (key == "border-hover") item.border.hover = PaintOf(v, line);
    else if (key == "border-pressed") item.border.pressed = PaintOf(v, line);
    else if (key == "border-width") item.borderWidth = Number(v, line, "border-width", 0, 100);
    else if (key == "radius") item.radius = Number(v, line, "radius", 0, kMaxPixels);
    else if (key == "colour") item.colour.normal = PaintOf(v, line);
    else if (key == "colour-hover") item.colour.hover = PaintOf(v, line);
    else if (key == "colour-pressed") item.colour.pressed = PaintOf(v, line);
    else if (key == "glyph") {
      auto glyph = glyphs_.find(v);
      if (glyph == glyphs_.end()) Fail(line, "unknown glyph \"" + v + "\"");
      item.glyph = glyph->second;
    } else if (key == "glyph-size") item.glyphSize = Int(v, line, "glyph-size", 0, kMaxPixels);
    else if (key == "image") {
      const QString path = baseDir_.filePath(v);
      // Only a regular file: a pipe or device named here would block or never end.
      if (!QFileInfo(path).isFile()) Fail(line, "cannot read the image \"" + path + "\": it is not a file");
      item.image = QImage(path);
      if (item.image.isNull()) Fail(line, "cannot read the image \"" + path + "\"");
    } else if (key == "text") item.text = v;
    else if (key == "font") {
      auto font = fonts_.find(v);
      if (font == fonts_.end()) Fail(line, "unknown font \"" + v + "\"");
      item.font = font->second;
    } else if (key == "align") {
      const Qt::Alignment vertical = Qt::AlignVCenter;
      if (v == "left") item.align = Qt::AlignLeft | vertical;
      else if (v == "center" || v == "centre") item.align = Qt::AlignHCenter | vertical;
      else if (v == "right") item.align = Qt::AlignRight | vertical;
      else Fail(line, "align is left, center or right, not \"" + v + "\"");
    } else if (key == "padding") item.padding = Int(v, line, "padding", 0, kMaxPixels / 2);
    else if (key == "tip") item.tip = v;
    else if (key == "visible") {
      if (v != "yes" && v != "no") Fail(line, "visible is yes or no, not \"" + v + "\"");
      item.visible = v == "yes";
    } else if (key == "track") item.track = PaintOf(v, line);
    else if (key == "track-fill") item.trackFill = PaintOf(v, line);
    else if (key == "thumb") item.thumb.normal = PaintOf(v, line);
    else if (key == "thumb-hover") item.thumb.hover = PaintOf(v, line);
    else if (key == "thumb-pressed") item.thumb.pressed = PaintOf(v, line);
    else if (key == "track-height") item.trackHeight = Int(v, line, "track-height", 0, kMaxPixels);
    else if (key == "thumb-size") item.thumbSize = Int(v, line, "thumb-size", 0, kMaxPixels);
    else if (key == "range") item.range = Colour(v, line);
    else if (key == "begin-mark") item.beginMark = Colour(v, line);
    else if (key == "end-mark") item.endMark = Colour(v, line);
    else if (key == "position") item.positionLine = Colour(v, line);
    else if (key == "ruler") item.ruler = Colour(v, line);
    else if (key == "fill-checked") item.fill.checked = PaintOf(v, line);
    else if (key == "border-checked") item.border.checked = PaintOf(v, line);
    else if (key == "colour-checked") item.colour.checked = PaintOf(v, line);
    else if (key == "anchor") ApplyAnchor(item, v, line);
    else if (key == "min-height") item.minHeight = Int(v, line, "min-height", 1, kMaxPixels);
    else if (key == "preferred-height") item.preferredHeight = Int(v, line, "preferred-height", 1, kMaxPixels);
    else if (key == "pane") item.pane = v;
  }

  // anchor=<edge>[+<edge>...]: left, right, top, bottom, split. Both edges
  // of an axis stretch the item along it; only right (bottom) moves it with
  // that edge; left (top) or neither keeps it where the layout puts it.
  // "split" holds an edge to the splitter: top+split above it, split+bottom
  // below it, split alone moves with it.
  static void ApplyAnchor(ItemSpec& item, const QString& value, int line) {
    bool left = false, right = false, top = false, bottom = false, split = false;
    for (const QString& edge : value.split('+')) {
      if (edge == "left") left = true;
      else if (edge == "right") right = true;
      else if (edge == "top") top = true;
      else if (edge == "bottom") bottom = true;
      else if (edge == "split") split = true;
      else Fail(line, "anchor takes left, right, top, bottom and split joined by +, not \"" + edge + "\"");
    }
    if (split && top && bottom) Fail(line, "an item lies above the splitter (top+split) or below it (split+bottom), not both");
    item.anchorX = right ? (left ? Anchor::Stretch : Anchor::End) : Anchor::Start;
    if (split) item.anchorY = top ? Anchor::SplitAbove : (bottom ? Anchor::SplitBelow : Anchor::Split);
    else item.anchorY = bottom ? (top ? Anchor::Stretch : Anchor::End) : Anchor::Start;
  }

  QStringList lines_;
  int index_ = 0;
  QDir baseDir_;
  std::map<QString, QColor> colours_;
  std::map<QString, QFont> fonts_;
  std::map<QString, std::shared_ptr<Glyph>> glyphs_;
  std::map<QString, AttrMap> styles_;
  SkinDocument doc_;
};

// Control characters (a NUL would end the text where the message is shown)
// appear as \xNN, so the user sees that the file holds them and where.
QString Escaped(const QString& text) {
  QString shown;
  shown.reserve(text.size());
  for (QChar c : text) {
    const ushort u = c.unicode();
    if (u < 0x20 || u == 0x7F) shown += "\\x" + QString::number(u, 16).rightJustified(2, '0').toUpper();
    else if (u >= 0x80 && u < 0xA0) shown += "\\u" + QString::number(u, 16).rightJustified(4, '0').toUpper();
    else shown += c;
  }
  return shown;
}

Error LoadError(const QString& fileName, const QString& reason) {
  return Error::Failed("Cannot load the skin", Escaped(QDir::toNativeSeparators(fileName)).toStdString(),
                       Escaped(reason).toStdString());
}

}  // namespace

SkinDocument ParseSkin(const QString& text, const QString& fileName) {
  try {
    return Parser(text, fileName).Run();
  } catch (const ParseError& e) {
    throw LoadError(fileName, e.line > 0 ? QString("line %1: %2").arg(e.line).arg(e.message) : e.message);
  }
}

SkinDocument ReadSkinFile(const QString& fileName) {
  const QFileInfo info(fileName);
  if (!info.exists()) throw LoadError(fileName, "the file does not exist");
  if (info.isDir()) throw LoadError(fileName, "it is a folder, not a file");
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly)) throw LoadError(fileName, file.errorString());
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) throw LoadError(fileName, file.errorString());
  return ParseSkin(QString::fromUtf8(bytes), fileName);
}

}  // namespace snipwave::skin
