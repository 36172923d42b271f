#include "CommandLine.h"

#include <QTextStream>
#include <cstdio>

#include "cli/JobCommands.h"


namespace snipwave {

namespace {

const char* const kUsage =
    "Usage: snipwave [COMMAND ARGS...]\n"
    "Without a command, the window opens.\n"
    "\n"
    "Commands:\n"
    "  help            show this text\n";

QString Usage() { return QString(kUsage) + kJobCommandsUsage; }

}  // namespace

std::optional<int> RunCommandLine(const QStringList& arguments) {
  if (arguments.size() < 2) return std::nullopt;
  const QString command = arguments.at(1);
  const QStringList rest = arguments.mid(2);
  QTextStream out(stdout);
  QTextStream err(stderr);
  if (command == "help" || command == "--help" || command == "-h") {
    out << Usage();
    return 0;
  }
  if (command == "cut") return RunCutCommand(rest);
  if (command == "join") return RunJoinCommand(rest);
  if (command.startsWith('-')) {
    err << "Unknown option " << command << "\n" << Usage();
    return 2;
  }
  return std::nullopt;
}

}  // namespace snipwave
