#include <QStringList>

#include "cli/CommandLine.h"
#include "shell/MainProgram.h"

int main(int argc, char* argv[]) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  if (const auto status = snipwave::RunCommandLine(arguments)) return *status;
  return snipwave::RunProgram(argc, argv);
}
