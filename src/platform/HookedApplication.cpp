#include "HookedApplication.h"

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
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    Report(e);
  } catch (...) {
    Report(std::runtime_error("Unknown error"));
  }
  return false;
}

}  // namespace snipwave
