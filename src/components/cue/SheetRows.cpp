#include "components/cue/SheetRows.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <map>

#include "components/cue/CueAudioFile.h"
#include "components/cue/CueTime.h"
#include "platform/Error.h"

namespace snipwave {

namespace {

std::int64_t UnitsToFrames(std::int64_t units, int unitsPerSecond, int rate) {
  if (units <= 0 || rate <= 0 || unitsPerSecond <= 0) return 0;
  const __int128 product = static_cast<__int128>(units) * rate;
  return static_cast<std::int64_t>((product + unitsPerSecond / 2) / unitsPerSecond);
}

QString Seconds(std::int64_t frames, int rate) {
  return QString::number(static_cast<double>(frames) / rate, 'f', 3) + QStringLiteral(" s");
}

}  // namespace

std::vector<SheetRange> CueSheetRanges(const std::vector<CueTrack>& tracks, const QString& sheetFolder) {
  std::vector<SheetRange> ranges;
  std::map<QString, QString> found;
  for (const CueTrack& track : tracks) {
    auto at = found.find(track.file);
    if (at == found.end()) {
      const QString path = FindCueAudioFile(sheetFolder, track.file);
      if (path.isEmpty())
        throw Error(QStringLiteral("The audio file \"%1\" of the sheet is not in %2 (not under another extension either).")
                        .arg(track.file, QDir::toNativeSeparators(sheetFolder))
                        .toStdString());
      at = found.emplace(track.file, QDir::toNativeSeparators(path)).first;
    }
    ranges.push_back({at->second, track.start, track.end, track.endAtMost, kCueFramesPerSecond, track.title,
                      track.tags, QStringLiteral("track %1").arg(track.number)});
  }
  return ranges;
}

std::vector<SheetRange> LabelRanges(const std::vector<Label>& labels, const QString& source) {
  std::vector<SheetRange> ranges;
  int number = 0;
  for (const Label& label : labels) {
    TagSet tags;
    tags.Set(TagField::Title, label.text);
    ranges.push_back({source, label.beginUs, label.endUs, false, 1'000'000, label.text, tags,
                      QStringLiteral("label %1").arg(++number)});
  }
  return ranges;
}

std::vector<FramedRange> FrameRanges(const std::vector<SheetRange>& ranges,
                                     const std::function<SourceFacts(const QString& path)>& probe) {
  std::map<QString, SourceFacts> facts;
  std::vector<FramedRange> framed;
  for (const SheetRange& range : ranges) {
    auto at = facts.find(range.path);
    if (at == facts.end()) at = facts.emplace(range.path, probe(range.path)).first;
    const SourceFacts& source = at->second;
    if (source.sampleRate <= 0) throw Error("The sample rate of \"" + range.path.toStdString() + "\" is unknown.");
    const std::int64_t begin = UnitsToFrames(range.begin, range.unitsPerSecond, source.sampleRate);
    std::int64_t end =
        range.end < 0 ? source.length : UnitsToFrames(range.end, range.unitsPerSecond, source.sampleRate);
    if (range.endAtMost) end = std::min(end, source.length);
    const QString name = QFileInfo(range.path).fileName();
    if (begin >= source.length || end > source.length)
      throw Error(QStringLiteral("%1 (%2 to %3) does not lie within %4, which is %5 long.")
                      .arg(range.what, Seconds(begin, source.sampleRate),
                           Seconds(end, source.sampleRate), name, Seconds(source.length, source.sampleRate))
                      .toStdString());
    framed.push_back({range.path, begin, end, range.title, range.tags});
  }
  return framed;
}

}  // namespace snipwave
