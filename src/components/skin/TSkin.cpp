#include "components/skin/TSkin.h"

#include <QScreen>
#include <algorithm>

#include "components/skin/SkinDocument.h"
#include "components/skin/SkinObject.h"
#include "components/skin/SkinParser.h"
#include "components/skin/SkinSurface.h"
#include "platform/Error.h"

namespace snipwave {

using skin::SkinObject;
using skin::SkinSurface;
using skin::SkinWindowObject;

struct TSkin::WindowSkin {
  QPointer<QWidget> window;
  QPointer<SkinSurface> surface;
  // The document the layout's items live in; a later LoadSkin must not free it.
  std::shared_ptr<const skin::SkinDocument> document;
  std::vector<std::unique_ptr<SkinObject>> objects;
  std::unique_ptr<SkinWindowObject> object;
};

namespace {
std::string WindowText(QWidget* window) {
  const QString title = window->windowTitle();
  return title.isEmpty() ? window->metaObject()->className() : title.toStdString();
}
// The layout's size is the window's size and its smallest: larger, the
// items follow their anchors; the window may be maximised. On a screen whose
// free area (less the window's frame) is smaller than the layout, at a large
// scale factor above all, the smallest size is that area and the surface
// draws the whole layout zoomed down to it, so the window never reaches off
// the screen.
void FitWindow(QWidget* window, QSize size) {
  const QSize fitted = size.boundedTo(skin::RoomOnScreen(window)).expandedTo(QSize(1, 1));
  window->setMinimumSize(fitted);
  window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  window->resize(fitted);
}
}  // namespace

namespace skin {
QSize RoomOnScreen(const QWidget* window) {
  const QScreen* screen = window->screen();
  if (!screen) return QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  // The frame is known once the window exists; before, a title bar's worth.
  QSize frame = window->frameGeometry().size() - window->geometry().size();
  if (!window->testAttribute(Qt::WA_WState_Created) || frame.isEmpty()) frame = frame.expandedTo(kFrameAllowance);
  return screen->availableGeometry().size() - frame;
}
}  // namespace skin

TSkin::TSkin() = default;

TSkin::~TSkin() {
  // The surfaces paint from this engine's objects and call its events.
  for (auto& w : windows_) delete w->surface.data();
}

void TSkin::LoadSkin(const QString& fileName) {
  document_ = std::make_shared<const skin::SkinDocument>(skin::ReadSkinFile(fileName));
}

TSkin::WindowSkin* TSkin::Find(QWidget* window) const {
  for (const auto& w : windows_)
    if (w->window && w->window == window) return w.get();
  return nullptr;
}

void TSkin::AttachWindow(QWidget* window) {
  if (!window) throw Error("Cannot attach the skin: no window was given.");
  if (!document_) throw Error("Cannot attach the skin to \"" + WindowText(window) + "\": no skin file is loaded.");
  if (Find(window)) return;
  // Forget windows that were destroyed meanwhile.
  std::erase_if(windows_, [this](std::unique_ptr<WindowSkin>& w) {
    if (w->window) return false;
    retired_.push_back(std::move(w));
    return true;
  });
  FitWindow(window, document_->layouts.front().size);
  auto entry = std::make_unique<WindowSkin>();
  entry->window = window;
  entry->surface = new SkinSurface(window, events_);
  entry->object = std::make_unique<SkinWindowObject>(QString(), std::vector<SkinObject*>{});
  windows_.push_back(std::move(entry));
}

void TSkin::ApplyWindowSkin(QWidget* window, const QString& layoutName) {
  WindowSkin* entry = Find(window);
  if (!window || !entry) throw Error("Cannot apply the skin layout \"" + layoutName.toStdString() + "\": the window is not attached to the skin.");
  const skin::LayoutSpec* layout = document_->Find(layoutName);
  if (!layout)
    throw Error::Failed("Cannot apply the skin layout \"" + layoutName.toStdString() + "\" of",
                        document_->fileName.toStdString(), "the file has no layout of that name");

  // Keep the previous objects alive: the program may still hold them.
  auto old = std::make_unique<WindowSkin>();
  old->document = std::move(entry->document);
  old->objects = std::move(entry->objects);
  old->object = std::move(entry->object);
  retired_.push_back(std::move(old));

  entry->document = document_;
  entry->objects.clear();
  std::vector<SkinObject*> byItem, named;
  for (const skin::ItemSpec& item : layout->items) {
    SkinObject* object = nullptr;
    if (skin::IsNamedKind(item.kind)) {
      entry->objects.push_back(std::make_unique<SkinObject>(item));
      object = entry->objects.back().get();
      named.push_back(object);
    }
    byItem.push_back(object);
  }
  entry->object = std::make_unique<SkinWindowObject>(layout->name, std::move(named), layout->palette);
  FitWindow(window, layout->size);
  // The style sheet can select the window's own controls by this property
  // (QWidget[skinLayout="From"] > QLineEdit), leaving dialogs that merely
  // have the window as parent alone.
  window->setProperty("skinLayout", layout->name);
  if (!layout->controlsStyleSheet.isEmpty()) window->setStyleSheet(layout->controlsStyleSheet);
  if (entry->surface) {
    entry->surface->setGeometry(window->rect());
    entry->surface->lower();
    entry->surface->ShowLayout(layout, std::move(byItem));
  }
}

ISkinObject* TSkin::GetWindowObject(QWidget* window) {
  WindowSkin* entry = Find(window);
  if (!window || !entry) throw Error("Cannot get the skin object of a window that is not attached to the skin.");
  return entry->object.get();
}

void TSkin::SetEvents(SkinEvents events) { events_ = std::move(events); }

skin::SkinSurface* TSkin::Surface(QWidget* window) const {
  WindowSkin* entry = Find(window);
  return entry ? entry->surface.data() : nullptr;
}

}  // namespace snipwave
