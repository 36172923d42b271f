#pragma once

// A program a Qt benchmark runs to make its input or to compare with: true
// when it ended normally with status 0; otherwise its error output is shown.
#include <QProcess>
#include <QString>
#include <QStringList>

#include <cstdio>

namespace snipwave::bench {

inline bool RunProgram(const QString& program, const QStringList& args) {
  QProcess p;
  p.start(program, args);
  if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
    std::fprintf(stderr, "%s failed: %s\n", qPrintable(program), p.readAllStandardError().constData());
    return false;
  }
  return true;
}

}  // namespace snipwave::bench
