#include "components/cue/CueAudioFile.h"

#include <QDir>
#include <QFileInfo>

namespace snipwave {

namespace {

// Extensions of audio files, preferred in this order when several files
// share the FILE's base name: those the reader reads first.
const QStringList kAudioExtensions{"wav", "mp3", "ogg", "wma", "flac", "opus", "m4a", "wv", "ape", "aiff", "aif"};

}  // namespace

QString FindCueAudioFile(const QString& sheetFolder, const QString& fileName) {
  QString name = fileName;
  name.replace(QLatin1Char('\\'), QLatin1Char('/'));
  const QDir folder(sheetFolder);
  const QFileInfo asWritten(folder.absoluteFilePath(name));
  if (asWritten.isFile()) return asWritten.absoluteFilePath();
  const QString last = name.section(QLatin1Char('/'), -1);
  const QFileInfo beside(folder.absoluteFilePath(last));
  if (beside.isFile()) return beside.absoluteFilePath();

  const QString base = QFileInfo(last).completeBaseName();
  if (base.isEmpty()) return {};
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

}  // namespace snipwave
