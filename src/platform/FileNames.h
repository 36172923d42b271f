#pragma once

#include <QByteArray>
#include <QString>
#include <string>

namespace snipwave {

// File names as the system stores them are bytes; most are UTF-8, but not
// all (names copied from old media, archives, other systems). A QString
// cannot hold stray bytes, and Qt's own conversion turns each into U+FFFD,
// which names no file. These two carry every name losslessly: valid UTF-8
// decodes as usual, each byte that is not part of valid UTF-8 becomes the
// lone code unit U+DC80 + byte, and converts back to that byte.
QString FileNameFromBytes(const QByteArray& bytes);
QByteArray FileNameBytes(const QString& name);
// The bytes as the libraries take them (reader, writer, POSIX calls).
inline std::string SystemPath(const QString& name) { return FileNameBytes(name).toStdString(); }

}  // namespace snipwave
