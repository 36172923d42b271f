#include "components/cue/SheetText.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include "platform/Error.h"

namespace snipwave {

QString DecodeSheetText(const QByteArray& bytes) {
  QByteArrayView view(bytes);
  // Some Windows tools write UTF-16, always with its byte order mark.
  if (view.startsWith("\xFF\xFE") || view.startsWith("\xFE\xFF")) {
    QStringDecoder utf16(view.startsWith("\xFF\xFE") ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
    QString text = utf16.decode(view.sliced(2));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
  }
  if (view.startsWith("\xEF\xBB\xBF")) view = view.sliced(3);
  QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
  QString text = utf8.decode(view);
  if (utf8.hasError()) text = QString::fromLatin1(view);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

QByteArray ReadSheetFile(const QString& path, const char* what, qint64 maxBytes) {
  const std::string shown = path.toStdString();
  const QFileInfo info(path);
  if (!info.exists()) throw Error::Failed("Read", shown, "the file does not exist");
  if (!info.isFile()) throw Error::Failed("Read", shown, "not a regular file");
  if (info.size() > maxBytes)
    throw Error::Failed("Read", shown,
                        "the file is " + std::to_string(info.size()) + " bytes long, more than " + what + " can be (" +
                            std::to_string(maxBytes) + ")");
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) throw Error::Failed("Read", shown, file.errorString().toStdString());
  QByteArray bytes = file.read(maxBytes + 1);
  if (file.error() != QFileDevice::NoError) throw Error::Failed("Read", shown, file.errorString().toStdString());
  return bytes;
}

void WriteSheetFile(const QString& path, const QByteArray& bytes) {
  const std::string shown = path.toStdString();
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) throw Error::Failed("Write", shown, file.errorString().toStdString());
  if (file.write(bytes) != bytes.size()) {
    const std::string why = file.errorString().toStdString();
    file.cancelWriting();
    throw Error::Failed("Write", shown, why);
  }
  if (!file.commit()) throw Error::Failed("Write", shown, file.errorString().toStdString());
}

}  // namespace snipwave
