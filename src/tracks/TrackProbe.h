#pragma once

#include <QString>
#include <optional>

#include "components/audio/AudioInterfaces.h"
#include "state/Timerec.h"

namespace snipwave {

// What adding a file learns about it before its row is made.
struct ProbedTrack {
  Timerec record;     // whole file marked, FilePath = the path probed
  QString sizeText;   // "3.34MB" (without the column's leading blanks)
};

// Measures and probes one file the way adding files does: its size (opened
// read-only, shared), then through `reader`, in this order: IsOpen, CloseFile
// (only when something is open), OpenFile(path, 0, 1), DurationMs,
// LengthSamples, SampleRate, CloseFile.
// Any failure on that road (no such regular file, the reader refuses it, a
// reader call throws) gives nothing, and `failureReason` (when given) receives
// why: "the file does not exist", "not a regular file" (folders, pipes,
// devices, sockets), "the file cannot be opened" or the reader's own message.
// The reader is then closed if it was left open. Only a failure of that last
// closing escapes as an exception.
std::optional<ProbedTrack> ProbeTrack(IAudioFile2& reader, const QString& path, QString* failureReason = nullptr);

}  // namespace snipwave
