#include "HookedApplication.h"

#include <QKeyEvent>
#include <cstdio>
#include <stdexcept>

namespace snipwave {

void HookedApplication::Report(const std::exception& e) {
  if (hook_) {
    hook_(e);
  } else {
    std::fprintf(stderr, "%s\n", e.what());
  }
}

bool HookedApplication::notify(QObject* receiver, QEvent* event) {
  try {
    // A key press reaches the native window first and is then sent on to the
    // focus widget; counting only the widget delivery counts each press once.
    if (helpKeyHook_ && event->type() == QEvent::KeyPress && receiver->isWidgetType() &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1)
      helpKeyHook_();
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    Report(e);
  } catch (...) {
    Report(std::runtime_error("Unknown error"));
  }
  return false;
}

}  // namespace snipwave
