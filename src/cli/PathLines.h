#pragma once

#include <QString>

namespace snipwave {

// A path as one line of the command line's output, for scripts that read a
// path per line (or per tab-separated field). Printed as it is, unless it
// holds a control character (a newline or tab would split the line) or
// starts with "'": then it is quoted as `ls --quoting-style=shell-escape`
// quotes names, and a shell's `eval` gives it back:
//   /music/a<newline>b.mp3  ->  '/music/a'$'\n''b.mp3'
// A line that starts with "'" is therefore always quoted; any other is the
// path itself. Other code units (stray bytes of a name that is not UTF-8
// included) are left for FileNameBytes to write as they are.
QString PathLine(const QString& path);

}  // namespace snipwave
