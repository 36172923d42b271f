#pragma once

#include <QByteArray>
#include <QString>

namespace snipwave {

// The text of a sheet or label file as found on disk: UTF-8 with or without a
// byte order mark, or (when the bytes are not valid UTF-8) Latin-1, as older
// rippers on Windows wrote them, or UTF-16 with its byte order mark. CR LF
// and lone CR become LF.
QString DecodeSheetText(const QByteArray& bytes);

// Reads a small text file whole. Throws Error naming the path when it cannot
// be read or is larger than `maxBytes` (a cue sheet or label file is a few
// kilobytes; anything huge is not one); `what` names the kind of file there
// ("a cue sheet", "a label file").
QByteArray ReadSheetFile(const QString& path, const char* what, qint64 maxBytes = 1 << 20);

// Writes `bytes` to `path` atomically (a temporary file, then renamed), so a
// failure leaves any earlier file as it was. Throws Error naming the path.
void WriteSheetFile(const QString& path, const QByteArray& bytes);

}  // namespace snipwave
