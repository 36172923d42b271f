#include <QStringList>

#include "cli/CommandLine.h"
#include "platform/HookedApplication.h"

int main(int argc, char* argv[]) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  if (const auto status = snipwave::RunCommandLine(arguments)) return *status;

  snipwave::HookedApplication app(argc, argv);
  QApplication::setApplicationName("Snipwave");
  return 0;
}
