#include "ProbeCommand.h"

#include <QJsonDocument>
#include <QJsonObject>

#include "components/audio/TAudioFile2.h"
#include "platform/Error.h"
#include "platform/FileHelpers.h"
#include "platform/FileNames.h"

namespace snipwave {

namespace {

// One line of JSON: a complete object per file, so a reader can take each
// as soon as it is printed.
void PrintJson(QTextStream& out, const QJsonObject& object) {
  out << QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) << '\n';
}

}  // namespace

int RunProbeCommand(const QStringList& arguments, QTextStream& out, QTextStream& err) {
  QStringList files = arguments;
  const bool json = files.removeAll("--json") > 0;
  if (files.isEmpty()) {
    err << "Usage: snipwave probe [--json] FILE...\n";
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
      if (json)
        PrintJson(out, {{"path", file},
                        {"frames", static_cast<qint64>(reader.LengthSamples())},
                        {"ms", reader.DurationMs()},
                        {"rate", static_cast<qint64>(reader.SampleRate())},
                        {"channels", reader.Channels()}});
      else
        out << file << '\t' << reader.LengthSamples() << '\t' << reader.DurationMs() << '\t' << reader.SampleRate()
            << '\t' << reader.Channels() << '\n';
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
