#pragma once

#include <exception>
#include <utility>

#include "platform/HookedApplication.h"

namespace snipwave {

// Wraps a handler without arguments for a Qt signal connection. Qt's widget code is built
// without exception support, so an exception must not unwind through it; the
// handler's exception is handed to the application's hook right here instead,
// exactly as if it had reached the hook through the event loop. Without a
// hooked application the exception goes on as usual.
template <typename Handler>
auto HookedSlot(Handler handler) {
  return [handler = std::move(handler)]() {
    try {
      handler();
    } catch (const std::exception& e) {
      HookedApplication* app = HookedApplication::Instance();
      if (app == nullptr) throw;
      app->Report(e);
    }
  };
}

}  // namespace snipwave
