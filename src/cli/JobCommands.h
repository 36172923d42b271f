#pragma once

#include <QStringList>

namespace snipwave {

// `snipwave cut` and `snipwave join`: the window's cut and join jobs without a
// window. `arguments` are those after the command name. Configuration comes
// from the same settings file ("Snipwave.ini"); messages go to stderr, the
// paths of the written files to stdout, one per line (as PathLine writes them).
// Exit status: 0 all done; 1 a refusal, a skipped source, a declined
// overwrite or an error; 2 wrong arguments; 130 stopped by Ctrl+C.
int RunCutCommand(const QStringList& arguments);
int RunJoinCommand(const QStringList& arguments);

// The lines of the commands in the program's usage text.
extern const char* const kJobCommandsUsage;

}  // namespace snipwave
