#include "ProbeCommand.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "cli/PathLines.h"
#include "components/audio/TAudioFile2.h"
#include "platform/Error.h"
#include "platform/FileHelpers.h"
#include "platform/FileNames.h"

namespace snipwave {

namespace {

const char* const kProbeHelp =
    "Usage: snipwave probe [--json] [--] FILE...\n"
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

}  // namespace

int RunProbeCommand(const QStringList& arguments, QTextStream& out, QTextStream& err) {
  QStringList files;
  bool json = false;
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
  for (const QString& file : files) {
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
      const std::vector<audio::LinkFormat> links = reader.SourceLinks();
      if (json) {
        QJsonObject object{{"path", file},
                           {"frames", static_cast<qint64>(reader.LengthSamples())},
                           {"ms", reader.DurationMs()},
                           {"rate", static_cast<qint64>(reader.SampleRate())},
                           {"channels", reader.Channels()}};
        if (!links.empty()) object.insert("links", LinksJson(links));
        PrintJson(out, object);
      } else {
        out << PathLine(file) << '\t' << reader.LengthSamples() << '\t' << reader.DurationMs() << '\t' << reader.SampleRate()
            << '\t' << reader.Channels();
        if (!links.empty()) out << '\t' << LinksField(links);
        out << '\n';
      }
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
