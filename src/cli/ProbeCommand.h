#pragma once

#include <QStringList>
#include <QTextStream>

namespace snipwave {

inline constexpr const char* kProbeUsage =
    "  probe [--json] [--loudness] FILE[@BEGIN:END]...\n"
    "                  print path, length in samples, duration in ms, sample rate, channels\n"
    "                  (--json: one JSON object per file and line; --loudness: also the\n"
    "                  integrated loudness, loudness range and true peak of the file or range)\n";

// `snipwave probe FILE...`: one line per readable file on `out`, tab-separated:
// path (as PathLine writes it), LengthSamples, DurationMs, SampleRate, Channels.
// A file that cannot be read gives its error on `err` and the others still
// print. With --json, one JSON object per file and line instead: {"path",
// "frames", "ms", "rate", "channels"}, or {"path", "error"} for a file that
// cannot be read. --loudness adds the EBU R128 measure of the file (or of
// the range of a PATH@BEGIN:END argument): integrated LUFS, range LU, true
// peak dBTP ("silent" / null where silence has none). --help prints the usage; "--" ends the options. Returns 0
// when every file was read (or after --help), 1 when any failed, 2 without
// files or with an unknown option.
int RunProbeCommand(const QStringList& arguments, QTextStream& out, QTextStream& err);

}  // namespace snipwave
