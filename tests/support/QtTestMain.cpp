// Test entry for every suite: headless Qt and silent SDL unless told otherwise,
// one application for the process (with the exception hook recording what an
// event handler threw), then GoogleTest.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "CaughtExceptions.h"
#include "platform/HookedApplication.h"

namespace snipwave::test {
QStringList& CaughtExceptions() {
  static QStringList messages;
  return messages;
}
void InstallRecordingExceptionHook() {
  auto* app = snipwave::HookedApplication::Instance();
  app->SetExceptionHook([](const std::exception& e) { CaughtExceptions().append(QString::fromUtf8(e.what())); });
  app->SetHelpKeyHook({});
}
}  // namespace snipwave::test

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  snipwave::HookedApplication app(argc, argv);
  snipwave::test::InstallRecordingExceptionHook();
  ::testing::InitGoogleMock(&argc, argv);
  return RUN_ALL_TESTS();
}
