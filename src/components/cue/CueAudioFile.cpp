#include "components/cue/CueAudioFile.h"

#include <QDir>
#include <QFileInfo>

namespace snipwave {

namespace {

// Extensions of audio files, preferred in this order when several files
// share the FILE's base name: those the reader reads first.
const QStringList kAudioExtensions{"wav", "mp3", "ogg", "wma", "flac", "opus", "m4a", "wv", "ape", "aiff", "aif"};

// The name as written, then without its first folder, and so on down to the
// bare file name: "D:/Rips/Album/01.wav", "Rips/Album/01.wav", "Album/01.wav",
// "01.wav".
QStringList Tails(const QString& name) {
  QStringList tails{name};
  const QStringList parts = name.split(QLatin1Char('/'), Qt::SkipEmptyParts);
  for (qsizetype first = 0; first < parts.size(); ++first) {
    const QString tail = parts.mid(first).join(QLatin1Char('/'));
    if (!tails.contains(tail)) tails.push_back(tail);
  }
  return tails;
}

// A file in `folder` whose name is `last` under one of the audio extensions;
// empty when none.
QString UnderAnotherExtension(const QDir& folder, const QString& last) {
  const QString base = QFileInfo(last).completeBaseName();
  if (base.isEmpty() || !folder.exists()) return {};
  QString best;
  int bestRank = static_cast<int>(kAudioExtensions.size());
  const QFileInfoList entries = folder.entryInfoList(QDir::Files | QDir::Hidden, QDir::Name);
  for (const QFileInfo& entry : entries) {
    if (entry.completeBaseName().compare(base, Qt::CaseInsensitive) != 0) continue;
    const int rank = static_cast<int>(kAudioExtensions.indexOf(entry.suffix().toLower()));
    if (rank >= 0 && rank < bestRank) {
      best = entry.absoluteFilePath();
      bestRank = rank;
    }
  }
  return best;
}

}  // namespace

QString FindCueAudioFile(const QString& sheetFolder, const QString& fileName) {
  QString name = fileName;
  name.replace(QLatin1Char('\\'), QLatin1Char('/'));
  const QDir folder(sheetFolder);
  const QStringList tails = Tails(name);
  for (const QString& tail : tails) {
    const QFileInfo written(folder.absoluteFilePath(tail));
    if (written.isFile()) return written.absoluteFilePath();
  }
  for (const QString& tail : tails) {
    const QFileInfo written(folder.absoluteFilePath(tail));
    const QString found = UnderAnotherExtension(written.absoluteDir(), written.fileName());
    if (!found.isEmpty()) return found;
  }
  return {};
}

}  // namespace snipwave
