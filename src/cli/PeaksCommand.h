#pragma once

#include <QStringList>
#include <QTextStream>
#include <cstdio>

namespace snipwave {

inline constexpr const char* kPeaksUsage =
    "  peaks [--samples-per-pixel N] [--bits 8|16] FILE\n"
    "                  print the min/max of each block of N frames (default 256) as JSON\n"
    "                  in the audiowaveform data format, version 2 (channels mixed)\n";

// `snipwave peaks`: the file decoded as the reader decodes it, channels mixed
// as their mean, cut into blocks of N frames (the last may be shorter); each
// block gives its min and max scaled by 32767 (16 bits) or 127 (8 bits),
// rounded and clamped. JSON goes to `out` (a C stream), written in chunks as
// the file is decoded, so memory does not grow with the output's size;
// messages go to `err`. Returns 0, 1 when the file cannot be read or the
// output cannot be written (the JSON then may stop unfinished), 2 for wrong
// arguments.
int RunPeaksCommand(const QStringList& arguments, std::FILE* out, QTextStream& err);

}  // namespace snipwave
