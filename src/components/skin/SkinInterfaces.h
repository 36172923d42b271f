#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <functional>
#include <map>
#include <optional>

class QWidget;

namespace snipwave {

// Pixel rectangle in window client coordinates; right and bottom exclusive.
struct SkinRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  bool operator==(const SkinRect&) const = default;
};

// Geometry and visibility of a skin object. A change shows after Redraw().
class ISkinElement {
 public:
  virtual ~ISkinElement() = default;
  virtual SkinRect GetBounds() const = 0;
  virtual void SetBounds(const SkinRect& rect) = 0;
  virtual void SetVisible(bool visible) = 0;
  virtual void Redraw() = 0;
  // A button shown as switched on (its "checked" look), for commands that
  // stand for a state such as play and pause.
  virtual void SetChecked(bool) {}
};

class ISkinText {
 public:
  virtual ~ISkinText() = default;
  virtual void SetText(const QString& text) = 0;
};

// A slider on the fixed scale 0..20000.
class ISkinSlider {
 public:
  virtual ~ISkinSlider() = default;
  virtual int GetPosition() const = 0;
  virtual void SetPosition(int position) = 0;
};

// The colours of a waveform object: the program draws the picture of the
// sound itself, in the object's rectangle, with these.
struct SkinWaveformLook {
  QColor background;  // the box (may be transparent)
  QColor border;
  QColor peaks;       // the wave
  QColor range;       // shading of the marked range
  QColor beginMark;   // begin handle and line
  QColor endMark;     // end handle and line
  QColor position;    // play position line
  QColor ruler;       // time ruler ticks and texts
  QFont font;         // ruler texts
};

// A named object of the skin. The Query* calls return nullptr for an
// interface the object does not offer. Objects belong to the engine and live
// as long as it.
class ISkinObject {
 public:
  virtual ~ISkinObject() = default;
  virtual QString GetName() const = 0;
  virtual ISkinObject* FindObject(const QString& name) = 0;  // nullptr when absent
  virtual ISkinElement* QueryElement() = 0;
  virtual ISkinText* QueryText() = 0;
  virtual ISkinSlider* QuerySlider() = 0;
  // Only a waveform object has a look for the program to draw with.
  virtual std::optional<SkinWaveformLook> QueryWaveformLook() const { return std::nullopt; }
  // Where the object is drawn now, in client pixels of a window that may be
  // larger than its layout (GetBounds stays in the layout's own pixels).
  // Empty when the object does not know.
  virtual std::optional<SkinRect> GetPlacedBounds() const { return std::nullopt; }
  // The window object's colours by role for the program's dialogs and
  // tooltips (window, text, base, button, highlight, line, ...).
  virtual std::map<QString, QColor> QueryPalette() const { return {}; }
};

// The engine's events. `button` is a Qt::MouseButton value (1 = left);
// x and y are window client pixels.
struct SkinEvents {
  std::function<void(ISkinObject& source)> OnClick;
  std::function<void(ISkinObject& source, int button, int x, int y)> OnMouseDown;
  std::function<void(ISkinObject& source, int newPos)> OnScrollTrack;
  std::function<void(ISkinObject& source, int button, int x, int y)> OnMouseUp;
};

// The skin engine: loads a skin file, draws a window with one of its layouts
// and reports what the user does to its objects. Failing calls throw
// snipwave::Error (a missing or malformed file names the file and the line).
class ISkin {
 public:
  virtual ~ISkin() = default;
  virtual void LoadSkin(const QString& fileName) = 0;
  virtual void AttachWindow(QWidget* window) = 0;
  virtual void ApplyWindowSkin(QWidget* window, const QString& layoutName) = 0;
  virtual ISkinObject* GetWindowObject(QWidget* window) = 0;
  virtual void SetEvents(SkinEvents events) = 0;
};

}  // namespace snipwave
