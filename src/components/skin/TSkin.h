#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>
#include <vector>

#include "components/skin/SkinInterfaces.h"

namespace snipwave {

namespace skin {
// What a window may take of its screen's free area: the area less the
// window's frame (a title bar's worth while the frame is not known yet).
QSize RoomOnScreen(const QWidget* window);
inline const QSize kFrameAllowance(8, 32);
struct SkinDocument;
class SkinObject;
class SkinSurface;
class SkinWindowObject;
}  // namespace skin

// The skin engine. It reads a skin file (docs/skin-format.md), draws a window
// with one of the file's layouts on a surface widget laid under the window's
// other children, and reports clicks and slider drags through SkinEvents.
//
// Use: LoadSkin(file); AttachWindow(w); ApplyWindowSkin(w, "From");
// GetWindowObject(w)->FindObject("pb"). The engine must outlive nothing it
// draws: destroying it removes its surfaces from the windows. Objects handed
// out stay valid as long as the engine, even after another layout is applied.
class TSkin final : public ISkin {
 public:
  TSkin();
  ~TSkin() override;
  TSkin(const TSkin&) = delete;
  TSkin& operator=(const TSkin&) = delete;

  // Reads and checks the whole file; on failure the skin loaded before stays.
  void LoadSkin(const QString& fileName) override;
  // Lays the drawing surface into the window (a child filling it, below the
  // other children) and gives the window the size (and smallest size) of the file's first
  // layout. Needs a loaded skin. Attaching the same window again does nothing.
  void AttachWindow(QWidget* window) override;
  // Draws the named layout (exact name) in an attached window, sets the
  // window's size (and smallest size) and, when the layout has one, the style sheet for its
  // plain controls.
  void ApplyWindowSkin(QWidget* window, const QString& layoutName) override;
  // The object of an attached window; its FindObject finds the objects of the
  // applied layout (none before a layout is applied).
  ISkinObject* GetWindowObject(QWidget* window) override;
  void SetEvents(SkinEvents events) override;

  // The surface laid into `window`, or nullptr when it is not attached.
  skin::SkinSurface* Surface(QWidget* window) const;

 private:
  struct WindowSkin;
  WindowSkin* Find(QWidget* window) const;

  std::shared_ptr<const skin::SkinDocument> document_;
  std::vector<std::unique_ptr<WindowSkin>> windows_;
  // Layout objects replaced by a later ApplyWindowSkin; kept so that handles
  // the program still holds never dangle.
  std::vector<std::unique_ptr<WindowSkin>> retired_;
  SkinEvents events_;
};

}  // namespace snipwave
