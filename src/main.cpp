#include <QStringList>

#include "cli/CommandLine.h"
#include "platform/FileNames.h"
#include "shell/MainProgram.h"

int main(int argc, char* argv[]) {
  QStringList arguments;
  // Lossless: file names that are not UTF-8 must still name their files.
  for (int i = 0; i < argc; ++i) arguments << snipwave::FileNameFromBytes(argv[i]);
  if (const auto status = snipwave::RunCommandLine(arguments)) return *status;
  return snipwave::RunProgram(argc, argv);
}
