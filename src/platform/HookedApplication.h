#pragma once

#include <QApplication>
#include <exception>
#include <functional>

namespace snipwave {

// The application object. Exceptions must not cross Qt's event loop, so every
// event handler's exception is caught here and handed to the hook: the one
// place where failures are shown and cleaned up. Without a hook the message
// goes to stderr.
class HookedApplication : public QApplication {
 public:
  using ExceptionHook = std::function<void(const std::exception&)>;

  HookedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

  void SetExceptionHook(ExceptionHook hook) { hook_ = std::move(hook); }
  static HookedApplication* Instance() { return dynamic_cast<HookedApplication*>(QCoreApplication::instance()); }
  // Runs the hook for an exception caught outside an event handler.
  void Report(const std::exception& e);

  bool notify(QObject* receiver, QEvent* event) override;

 private:
  ExceptionHook hook_;
};

}  // namespace snipwave
