#include "ProbeCommand.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <cmath>

#include "cli/PathLines.h"
#include "cli/SourceArgument.h"
#include "components/audio/TAudioFile2.h"
#include "components/loudness/ReaderLoudness.h"
#include "platform/Error.h"
#include "platform/FileHelpers.h"
#include "platform/FileNames.h"

namespace snipwave {

namespace {

const char* const kProbeHelp =
    "Usage: snipwave probe [--json] [--loudness] [--] FILE[@BEGIN:END]...\n"
    "Prints one line per file: path, length in sample frames, duration in ms, sample rate\n"
    "and channels, separated by tabs; a chained Ogg file (files joined one after another)\n"
    "gets one more field naming its links in order, \"links: vorbis 44100 Hz 2 ch 74970;\n"
    "vorbis 22050 Hz 1 ch 57330 converted\" (frames at the file's rate; a link in another\n"
    "format is converted to the first link's). A path holding a control character (or starting\n"
    "with ') is quoted as ls quotes it, '/music/a'$'\\n''b.mp3'; a line that starts with '\n"
    "is always quoted. A file that cannot be read is reported on stderr; the others\n"
    "still print.\n"
    "\n"
    "  --json   one JSON object per file and line instead: path, frames, ms, rate,\n"
    "           channels (and links: codec, rate, channels, frames, converted); or path\n"
    "           and error\n"
    "  --loudness\n"
    "           also measures (EBU R128, decoding the audio): integrated loudness in\n"
    "           LUFS, loudness range in LU and true peak in dBTP; three more columns, or\n"
    "           integrated_lufs, loudness_range_lu, true_peak_dbtp in JSON. Silence has\n"
    "           no loudness: \"silent\" (null in JSON). FILE@BEGIN:END measures frames\n"
    "           BEGIN to END only (either may be empty; JSON adds begin and end)\n"
    "  --       ends the options (for a file whose name starts with -)\n"
    "\n"
    "Exit status: 0 every file read, 1 any failed, 2 wrong arguments.\n";

// One line of JSON: a complete object per file, so a reader can take each
// as soon as it is printed.
void PrintJson(QTextStream& out, const QJsonObject& object) {
  out << QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) << '\n';
}

QJsonArray LinksJson(const std::vector<audio::LinkFormat>& links) {
  QJsonArray array;
  for (const audio::LinkFormat& link : links) {
    array.append(QJsonObject{{"codec", QString::fromStdString(link.codec)},
                             {"rate", link.sampleRate},
                             {"channels", link.channels},
                             {"frames", static_cast<qint64>(link.frames)},
                             {"converted", link.converted}});
  }
  return array;
}

QString LinksField(const std::vector<audio::LinkFormat>& links) {
  QStringList parts;
  for (const audio::LinkFormat& link : links) {
    parts << QString("%1 %2 Hz %3 ch %4%5")
                 .arg(QString::fromStdString(link.codec))
                 .arg(link.sampleRate)
                 .arg(link.channels)
                 .arg(link.frames)
                 .arg(link.converted ? " converted" : "");
  }
  return "links: " + parts.join("; ");
}

// A measured value: null (JSON) or "silent" (text) where silence has none.
QJsonValue JsonValue(double value) {
  const std::optional<double> shown = loudness::Shown(value);
  return shown ? QJsonValue(std::round(*shown * 100) / 100) : QJsonValue(QJsonValue::Null);
}
QString TextValue(double value) {
  const std::optional<double> shown = loudness::Shown(value);
  return shown ? QString::number(*shown, 'f', 2) : QStringLiteral("silent");
}

// The frames a probe measures: the argument's range, checked against the
// file's length, or the whole file.
std::pair<qint64, qint64> CheckedRange(const SourceArgument& source, qint64 length) {
  const qint64 begin = source.begin.value_or(0);
  const qint64 end = source.end.value_or(length);
  if (begin > end || end > length) {
    throw Error::Failed("Cannot measure", source.path.toStdString(),
                        "the range " + std::to_string(begin) + ":" + std::to_string(end) +
                            " is not inside the file's " + std::to_string(length) + " sample frames");
  }
  return {begin, end};
}

}  // namespace

int RunProbeCommand(const QStringList& arguments, QTextStream& out, QTextStream& err) {
  QStringList files;
  bool json = false;
  bool measure = false;
  bool optionsEnded = false;
  QString problem;
  for (const QString& argument : arguments) {
    if (optionsEnded || !argument.startsWith('-') || argument == "-") {
      files << argument;
    } else if (argument == "--") {
      optionsEnded = true;
    } else if (argument == "--help" || argument == "-h") {
      out << kProbeHelp;
      out.flush();
      return 0;
    } else if (argument == "--json") {
      json = true;
    } else if (argument == "--loudness") {
      measure = true;
    } else if (problem.isEmpty()) {
      problem = "Unknown option " + argument + " (a file whose name starts with \"-\" goes after \"--\")";
    }
  }
  if (problem.isEmpty() && files.isEmpty()) problem = "probe needs a file";
  if (!problem.isEmpty()) {
    err << problem << "\n\n" << kProbeHelp;
    err.flush();
    return 2;
  }
  TAudioFile2 reader;
  int status = 0;
  for (const QString& argument : files) {
    const SourceArgument source = ParseSourceArgument(argument);
    const QString& file = source.path;
    const bool ranged = source.begin || source.end;
    if (!source.error.isEmpty()) {
      if (json) PrintJson(out, {{"path", argument}, {"error", source.error}});
      else err << source.error << '\n';
      out.flush();
      err.flush();
      status = 1;
      continue;
    }
    // A pipe or a device would block the reader: refused before any open.
    if (const std::optional<QString> reason = NotARegularFile(file)) {
      if (json) PrintJson(out, {{"path", file}, {"error", *reason}});
      else err << *reason << '\n';
      out.flush();
      err.flush();
      status = 1;
      continue;
    }
    try {
      reader.OpenFile(SystemPath(file), 0, 1);
      QJsonObject object{{"path", file},
                         {"frames", static_cast<qint64>(reader.LengthSamples())},
                         {"ms", reader.DurationMs()},
                         {"rate", static_cast<qint64>(reader.SampleRate())},
                         {"channels", reader.Channels()}};
      QString line = PathLine(file) + '\t' + QString::number(reader.LengthSamples()) + '\t' +
                     QString::number(reader.DurationMs()) + '\t' + QString::number(reader.SampleRate()) + '\t' +
                     QString::number(reader.Channels());
      const std::vector<audio::LinkFormat> links = reader.SourceLinks();
      if (!links.empty()) {
        object.insert("links", LinksJson(links));
        line += '\t' + LinksField(links);
      }
      if (measure) {
        const auto [begin, end] = CheckedRange(source, reader.LengthSamples());
        const loudness::Loudness level = loudness::MeasureOpenReader(reader, begin, end, SystemPath(file));
        if (ranged) {
          object.insert("begin", begin);
          object.insert("end", end);
        }
        object.insert("integrated_lufs", JsonValue(level.integratedLufs));
        object.insert("loudness_range_lu", std::round(level.rangeLu * 100) / 100);
        object.insert("true_peak_dbtp", JsonValue(level.truePeakDbtp));
        line += '\t' + TextValue(level.integratedLufs) + '\t' + QString::number(level.rangeLu, 'f', 2) + '\t' +
                TextValue(level.truePeakDbtp);
      }
      if (json) PrintJson(out, object);
      else out << line << '\n';
      reader.CloseFile();
    } catch (const std::exception& e) {
      if (json) PrintJson(out, {{"path", file}, {"error", QString::fromUtf8(e.what())}});
      else err << QString::fromUtf8(e.what()) << '\n';
      status = 1;
    }
    out.flush();
    err.flush();
  }
  return status;
}

}  // namespace snipwave
