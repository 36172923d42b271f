#pragma once

#include <QStringList>
#include <optional>

namespace snipwave {

// The command-line front end: `snipwave <command> ...` runs without a window.
// Returns the exit status when the arguments name a command (or ask for
// help), nothing when the program should start its window.
std::optional<int> RunCommandLine(const QStringList& arguments);

}  // namespace snipwave
