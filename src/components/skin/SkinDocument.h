#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QRect>
#include <QSize>
#include <QString>
#include <map>
#include <memory>
#include <vector>

namespace snipwave::skin {

// A fill: one colour, or a two-colour gradient across the shape it fills.
struct Paint {
  enum class Direction { None, Vertical, Horizontal };
  QColor from;  // the only colour, or the top / left end of the gradient
  QColor to;    // bottom / right end; unused for a plain colour
  Direction direction = Direction::None;

  bool IsSet() const { return from.isValid(); }
};

// A look that depends on the pointer: hover and pressed fall back to normal.
struct StatePaint {
  Paint normal, hover, pressed;
  Paint checked;  // a button the program marks as on (for example pause while paused)

  enum class State { Normal, Hover, Pressed, Checked };
  const Paint& For(State state) const {
    if (state == State::Pressed && pressed.IsSet()) return pressed;
    if (state == State::Checked && checked.IsSet()) return checked;
    if (state != State::Normal && hover.IsSet()) return hover;
    return normal;
  }
};

// A monochrome vector picture on its own coordinate box (for example 24 x 24).
// It takes the colour of the object that shows it.
struct Glyph {
  struct Part {
    QPainterPath path;
    bool stroke = false;     // outline with round caps and joins, else filled
    double strokeWidth = 0;  // in box units
  };
  QSizeF box;
  std::vector<Part> parts;
};

enum class ItemKind {
  Button,    // named command: a click reports OnClick
  Text,      // named text: SetText shows after Redraw
  Slider,    // named slider on 0..20000 that the user can drag
  Progress,  // named bar filling its whole rectangle (callers move its edges)
  Panel,     // decoration: a filled, optionally rounded and bordered box
  Label,     // decoration: a fixed text
  Icon,      // decoration: a glyph or image
  Waveform,  // named box in which the program draws the sound and its marks
  Control,   // named place of a plain control the window lays on top; draws nothing
  Splitter,  // named handle the user drags to share the extra height between two panes
};

// How an item follows a window larger than its layout, one rule per axis:
// stay at the start (left/top), move with the end (right/bottom), or stretch
// (both edges held; everything inside scales with the span). Vertically an
// edge may also follow the layout's splitter: above it (top held, bottom with
// the splitter), below it (top with the splitter, bottom with the window's
// bottom), or with it (both edges move with the splitter).
enum class Anchor { Start, End, Stretch, SplitAbove, SplitBelow, Split };

bool IsNamedKind(ItemKind kind);
bool IsInteractiveKind(ItemKind kind);

// One drawn thing of a layout, as the skin file describes it. Rectangles are
// in window client pixels.
struct ItemSpec {
  ItemKind kind = ItemKind::Panel;
  QString name;  // empty for decorations
  QRect rect;
  int line = 0;  // where the skin file defines it, for messages

  StatePaint fill;
  StatePaint border;
  double borderWidth = 1;
  double radius = 0;
  StatePaint colour;  // text and glyph colour
  std::shared_ptr<const Glyph> glyph;
  int glyphSize = 0;  // pixels; 0 = fit the rectangle less the padding
  QImage image;
  QString text;  // caption, initial text or label text
  QFont font;
  Qt::Alignment align = Qt::AlignCenter;
  int padding = 4;
  QString tip;
  bool visible = true;
  Anchor anchorX = Anchor::Start;
  Anchor anchorY = Anchor::Start;

  // Slider parts: the groove, the played part of it, and the round thumb.
  Paint track;
  Paint trackFill;
  StatePaint thumb;
  int trackHeight = 6;
  int thumbSize = 14;

  // Waveform parts: the marked range, the two marks, the play position and
  // the time ruler (the wave itself takes `colour`).
  QColor range, beginMark, endMark, positionLine, ruler;

  // A pane below a splitter: its smallest height and the height it takes
  // while the window has room and the user has not dragged the splitter
  // (layout pixels; 0 = its layout height).
  int minHeight = 0;
  int preferredHeight = 0;
  QString pane;  // a splitter: the name of the item below it whose height it sets
};

// How a layout lies in a window of another size. `extra` is the room beyond
// the layout's size in layout pixels (never negative); `splitShift` is how far
// the splitter and the bottom edge of the panes above it have moved down, out
// of extra.height() (it may exceed it when the pane below is made smaller than
// its layout height); `zoom` turns layout pixels into client pixels: 1, or
// less in a window smaller than the layout (a small screen or a large scale
// factor), where the whole layout is drawn smaller rather than cut off.
struct Placement {
  QSize extra;
  int splitShift = 0;
  double zoom = 1.0;

  // Where `rect`, given in the layout's own pixels, lies, still in layout
  // pixels: an anchored edge moves by the extra (or the split shift), a
  // stretched axis maps linearly from the item's own span onto the grown
  // span (so a bar filled to 50 % of the item stays at 50 %).
  QRect Place(const ItemSpec& spec, const QRect& rect) const;
  QRect ToClient(const QRect& layoutRect) const;
  QPoint ToLayout(const QPoint& client) const;
};

// Placement::Place without a splitter or zoom.
QRect PlaceRect(const ItemSpec& spec, const QRect& rect, QSize extra);

struct LayoutSpec {
  QString name;
  QSize size;
  int line = 0;
  Paint background;
  QString controlsStyleSheet;  // Qt style sheet for the plain controls placed on the window
  // Colours by role (window, text, base, ...) for the program's dialogs and
  // tooltips; empty when the layout names none.
  std::map<QString, QColor> palette;
  std::vector<ItemSpec> items;  // in drawing order: later items lie on top

  const ItemSpec* Find(const QString& name) const;
  const ItemSpec* Splitter() const;  // the layout's splitter, if it has one

  // How the layout lies in a window of `window` client pixels whose splitter
  // pane the user made `chosenPaneHeight` layout pixels high (0: not chosen).
  Placement PlacementFor(QSize window, int chosenPaneHeight) const;
};

// A parsed skin file. Layouts keep the order of the file.
struct SkinDocument {
  QString fileName;
  std::vector<LayoutSpec> layouts;

  const LayoutSpec* Find(const QString& name) const;
};

}  // namespace snipwave::skin
