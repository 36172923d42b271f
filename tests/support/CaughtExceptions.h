#pragma once

#include <QStringList>

namespace snipwave::test {
// Messages of exceptions that escaped an event handler during the test run,
// in order (the test application's hook records them; tests clear it).
QStringList& CaughtExceptions();
// Puts the recording hook back (after a test installed the program's own).
void InstallRecordingExceptionHook();
}  // namespace snipwave::test
