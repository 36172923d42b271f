#include "ProbeCommand.h"

#include "components/audio/TAudioFile2.h"
#include "platform/Error.h"
#include "platform/FileHelpers.h"
#include "platform/FileNames.h"

namespace snipwave {

int RunProbeCommand(const QStringList& files, QTextStream& out, QTextStream& err) {
  if (files.isEmpty()) {
    err << "Usage: snipwave probe FILE...\n";
    err.flush();
    return 2;
  }
  TAudioFile2 reader;
  int status = 0;
  for (const QString& file : files) {
    // A pipe or a device would block the reader: refused before any open.
    if (const std::optional<QString> reason = NotARegularFile(file)) {
      err << *reason << '\n';
      err.flush();
      status = 1;
      continue;
    }
    try {
      reader.OpenFile(SystemPath(file), 0, 1);
      out << file << '\t' << reader.LengthSamples() << '\t' << reader.DurationMs() << '\t' << reader.SampleRate()
          << '\t' << reader.Channels() << '\n';
      reader.CloseFile();
    } catch (const std::exception& e) {
      err << QString::fromUtf8(e.what()) << '\n';
      status = 1;
    }
    out.flush();
    err.flush();
  }
  return status;
}

}  // namespace snipwave
