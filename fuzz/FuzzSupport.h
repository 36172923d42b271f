#pragma once

// What every fuzz target shares: a headless Qt application made once (in
// LLVMFuzzerInitialize, defined here: each target is one source file), a
// private scratch folder for the files the targets write their input to, and
// the check of a property.

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>

namespace snipwave::fuzz {

inline void StartHeadlessApplication() {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  static int argc = 1;
  static char name[] = "snipwave-fuzz";
  static char* argv[] = {name, nullptr};
  // Kept for the whole run: libFuzzer never returns from its loop.
  static QApplication* application = new QApplication(argc, argv);
  (void)application;
}

// A folder of this process's own, removed when the process ends normally.
inline const QString& ScratchFolder() {
  static QTemporaryDir folder(QDir::tempPath() + "/snipwave-fuzz-XXXXXX");
  static const QString path = folder.path();
  return path;
}

// A property every input must keep; a broken one is a finding.
inline void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace snipwave::fuzz

// Every target starts the same headless application first.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  snipwave::fuzz::StartHeadlessApplication();
  return 0;
}
