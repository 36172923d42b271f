#include "cli/SheetExportCommands.h"

#include <QDir>
#include <QFileInfo>
#include <exception>

#include "cli/SourceArgument.h"
#include "components/audio/AudioInterfaces.h"
#include "components/cue/CueWriter.h"
#include "components/cue/LabelFile.h"
#include "components/cue/SheetText.h"
#include "convert/RealRowComponents.h"
#include "platform/Error.h"
#include "platform/FileHelpers.h"
#include "platform/FileNames.h"

namespace snipwave {

const char* const kSheetExportUsage =
    "  cue    --out SHEET.cue PATH[@BEGIN:END]...\n"
    "                  write the ranges as a cue sheet (starts rounded to 1/75 s)\n"
    "  labels --out LABELS.txt PATH[@BEGIN:END]...\n"
    "                  write the ranges of one source as a label file (start<TAB>end<TAB>label)\n";

namespace {

enum class SheetKind { Cue, Labels };

const char* const kCueHelp =
    "Usage: snipwave cue --out SHEET.cue PATH[@BEGIN:END]...\n"
    "Writes the ranges as a cue sheet: one FILE per source (named relative to the sheet\n"
    "when it lies beside it), one TRACK per range at its BEGIN rounded to the nearest\n"
    "1/75 s. A track runs to the next one's start; stderr says when a start moved or\n"
    "an END is not the next range's BEGIN (or the file's end).\n";
const char* const kLabelsHelp =
    "Usage: snipwave labels --out LABELS.txt PATH[@BEGIN:END]...\n"
    "Writes the ranges of one source as a label file: start<TAB>end<TAB>label per line,\n"
    "seconds with 6 decimals and a decimal point whatever the locale.\n";
const char* const kSheetCommonHelp =
    "\n"
    "  PATH@BEGIN:END  the range [BEGIN, END) in sample frames of the source; either may be\n"
    "               left empty (the start, the file's length); PATH alone means the whole file\n"
    "Exit status: 0 written, 1 a source or the file failed, 2 wrong arguments.\n";

struct SourceRange {
  QString path;
  std::int64_t begin = 0;
  std::int64_t end = 0;
  std::int64_t length = 0;
  int rate = 0;
};

int Run(SheetKind kind, const QStringList& arguments, QTextStream& out, QTextStream& err) {
  const QString help = QString(kind == SheetKind::Cue ? kCueHelp : kLabelsHelp) + kSheetCommonHelp;
  const char* name = kind == SheetKind::Cue ? "cue" : "labels";
  QString outPath;
  QList<SourceArgument> sources;
  QString error;
  bool optionsEnded = false;
  for (int i = 0; i < arguments.size() && error.isEmpty(); ++i) {
    const QString& a = arguments[i];
    if (optionsEnded || !a.startsWith('-') || a == "-") {
      sources << ParseSourceArgument(a);
      if (!sources.back().error.isEmpty()) error = sources.back().error;
    } else if (a == "--") {
      optionsEnded = true;
    } else if (a == "--help" || a == "-h") {
      out << help;
      return 0;
    } else if (a == "--out" && i + 1 < arguments.size()) {
      outPath = arguments[++i];
    } else if (a.startsWith("--out=")) {
      outPath = a.mid(6);
    } else {
      error = a == "--out" ? QStringLiteral("--out needs a value") : "unknown option " + a;
    }
  }
  if (error.isEmpty() && outPath.isEmpty()) error = "--out is required";
  if (error.isEmpty() && sources.isEmpty()) error = "no source file given";
  if (error.isEmpty() && kind == SheetKind::Labels) {
    for (const SourceArgument& s : sources)
      if (QFileInfo(s.path).absoluteFilePath() != QFileInfo(sources.front().path).absoluteFilePath())
        error = "a label file holds the ranges of one source; give the same PATH for each range";
  }
  if (!error.isEmpty()) {
    err << "snipwave " << name << ": " << error << "\n\n" << help;
    return 2;
  }

  std::vector<SourceRange> ranges;
  RowComponents probe = MakeRealRowComponents();
  for (const SourceArgument& source : sources) {
    const QString path = QDir::toNativeSeparators(QFileInfo(source.path).absoluteFilePath());
    if (const std::optional<QString> reason = NotARegularFile(path)) {
      err << *reason << Qt::endl;
      return 1;
    }
    SourceRange range{path};
    try {
      probe.reader->OpenFile(SystemPath(path), 0, 1);
      range.length = probe.reader->LengthSamples();
      range.rate = static_cast<int>(probe.reader->SampleRate());
      probe.reader->CloseFile();
    } catch (const std::exception& e) {
      err << e.what() << Qt::endl;
      return 1;
    }
    range.begin = source.begin.value_or(0);
    range.end = source.end.value_or(range.length);
    if (range.begin > range.end || range.end > range.length) {
      err << "The range " << range.begin << ":" << range.end << " of " << path << " does not lie within its "
          << range.length << " frames (BEGIN <= END <= length)." << Qt::endl;
      return 2;
    }
    ranges.push_back(range);
  }

  const QString target = QDir::toNativeSeparators(QFileInfo(outPath).absoluteFilePath());
  try {
    if (kind == SheetKind::Cue) {
      std::vector<SheetRow> rows;
      for (const SourceRange& r : ranges) rows.push_back({r.path, r.begin, r.end, r.length, r.rate, {}, {}});
      const WrittenCueSheet sheet = WriteCueSheet(rows, QFileInfo(target).absolutePath());
      WriteSheetFile(target, sheet.text);
      for (const QString& note : sheet.notes) err << note << Qt::endl;
    } else {
      std::vector<LabelRow> rows;
      for (const SourceRange& r : ranges) rows.push_back({r.begin, r.end, {}});
      WriteSheetFile(target, WriteLabels(rows, ranges.front().rate));
    }
  } catch (const std::exception& e) {
    err << e.what() << Qt::endl;
    return 1;
  }
  out << target << Qt::endl;
  return 0;
}

}  // namespace

int RunCueCommand(const QStringList& arguments, QTextStream& out, QTextStream& err) {
  return Run(SheetKind::Cue, arguments, out, err);
}
int RunLabelsCommand(const QStringList& arguments, QTextStream& out, QTextStream& err) {
  return Run(SheetKind::Labels, arguments, out, err);
}

}  // namespace snipwave
