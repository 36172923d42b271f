#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace snipwave {

class IAudioFile2;

// Status cell text of a row whose output failed its check.
inline constexpr const char* kCheckFailedStatus = "Check failed";

namespace detail {

// Opens the finished output at `temporaryPath` with `reader` and compares its
// length (from the reader's demux scan, no decode) with what the writer was
// given: `writtenFrames` frames at `inputRate`, which the writer turns into
// round(writtenFrames x outputRate / inputRate) frames (Opus: at 48 kHz; AAC:
// at the AAC rate the writer chose). WAV, MP3, OGG, FLAC, Opus and M4A (AAC
// and ALAC) must match exactly; WMA may hold up to one block (2048 frames)
// more, never less.
// Returns the message naming `finalPath` on a mismatch or when the output
// cannot be read back; nothing when it passed. An output without samples
// passes when no frame was due at its rate (the reader refuses such a file
// as holding none).
std::optional<QString> CheckOutputLength(IAudioFile2& reader, const QString& temporaryPath, const QString& finalPath,
                                         std::int64_t writtenFrames, unsigned inputRate);

}  // namespace detail

}  // namespace snipwave
