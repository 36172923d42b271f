#pragma once

#include <QStringList>
#include <QTextStream>

namespace snipwave {

// `snipwave probe FILE...`: one line per readable file on `out`, tab-separated:
// path, LengthSamples, DurationMs, SampleRate, Channels. A file that cannot be
// read gives its error on `err` and the others still print. With --json, one
// JSON object per file and line instead: {"path", "frames", "ms", "rate",
// "channels"}, or {"path", "error"} for a file that cannot be read. Returns 0 when
// every file was read, 1 when any failed, 2 without files.
int RunProbeCommand(const QStringList& arguments, QTextStream& out, QTextStream& err);

}  // namespace snipwave
