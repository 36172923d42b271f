#pragma once

#include <QByteArray>
#include <QImage>

namespace snipwave {

// Decodes a JPEG held in memory with libjpeg. A damaged or truncated image
// gives a null QImage (the frame then stays empty); it never aborts the program.
QImage DecodeJpeg(const QByteArray& jpeg);

// The picture shown over the empty list until the first add, embedded in the program.
QByteArray StartupPictureJpeg();

}  // namespace snipwave
