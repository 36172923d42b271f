#pragma once

#include <QApplication>
#include <exception>
#include <functional>

namespace snipwave {

// The application object. Exceptions must not cross Qt's event loop, so every
// event handler's exception is caught here and handed to the hook: the one
// place where failures are shown and cleaned up. Without a hook the message
// goes to stderr. notify() sees each delivered event once (propagation to
// parents happens inside it), which makes it the place for the help key too.
class HookedApplication : public QApplication {
 public:
  using ExceptionHook = std::function<void(const std::exception&)>;

  HookedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

  void SetExceptionHook(ExceptionHook hook) { hook_ = std::move(hook); }
  // Runs on every F1 key press the application delivers, in any window (dialogs
  // and message boxes included), auto-repeats too. The key still goes on to its window.
  void SetHelpKeyHook(std::function<void()> hook) { helpKeyHook_ = std::move(hook); }
  static HookedApplication* Instance() { return dynamic_cast<HookedApplication*>(QCoreApplication::instance()); }
  // Runs the hook for an exception caught outside an event handler.
  void Report(const std::exception& e);

  bool notify(QObject* receiver, QEvent* event) override;

 private:
  ExceptionHook hook_;
  std::function<void()> helpKeyHook_;
};

}  // namespace snipwave
