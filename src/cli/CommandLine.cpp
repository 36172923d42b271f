#include "CommandLine.h"

#include <QTextStream>
#include <cstdio>

#include "cli/JobCommands.h"
#include "cli/PeaksCommand.h"
#include "cli/ProbeCommand.h"
#include "cli/SheetExportCommands.h"


namespace snipwave {

namespace {

const char* const kUsage =
    "Usage: snipwave [COMMAND ARGS...]\n"
    "       snipwave [FILE|FOLDER...]\n"
    "Without a command, the window opens, with the files and folders given added to its list.\n"
    "\n"
    "Commands:\n"
    "  help            show this text\n";
const char* const kUsageEnd =
    "\n"
    "snipwave COMMAND --help explains each option of a command; man snipwave has them all.\n";

QString Usage() { return QString(kUsage) + kProbeUsage + kPeaksUsage + kSheetExportUsage + kJobCommandsUsage + kUsageEnd; }

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
  if (command == "probe") return RunProbeCommand(rest, out, err);
  if (command == "peaks") return RunPeaksCommand(rest, stdout, err);
  if (command == "cut") return RunCutCommand(rest);
  if (command == "join") return RunJoinCommand(rest);
  if (command == "cue") return RunCueCommand(rest, out, err);
  if (command == "labels") return RunLabelsCommand(rest, out, err);
  if (command.startsWith('-')) {
    err << "Unknown option " << command << "\n" << Usage();
    return 2;
  }
  return std::nullopt;
}

}  // namespace snipwave
