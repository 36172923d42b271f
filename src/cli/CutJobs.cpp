#include "cli/CutJobs.h"

#include <QRegularExpression>
#include <QThread>
#include <algorithm>


namespace snipwave {

const char* const kJobsHelp =
    "  --jobs N     cut up to N rows at once (default: the number of processor cores);\n"
    "               names, files, messages and exit status are those of one row at a time,\n"
    "               frame copies (--lossless) included\n";

int DefaultCutJobs() { return std::max(1, QThread::idealThreadCount()); }

std::optional<int> ParseCutJobs(const QString& value, QString& error) {
  static const QRegularExpression wholeNumber("^\\+?[0-9]+$");
  if (!wholeNumber.match(value.trimmed()).hasMatch()) {
    error = "--jobs needs a whole number of rows to cut at once, 1 or more (for example 2), not \"" + value + "\"";
    return std::nullopt;
  }
  // No more rows than the list holds can run at once; digits past int are no error.
  bool fits = false;
  const qlonglong jobs = value.trimmed().toLongLong(&fits);
  if (fits && jobs < 1) {
    error = "--jobs needs a whole number of rows to cut at once, 1 or more (for example 2), not \"" + value + "\"";
    return std::nullopt;
  }
  return fits ? static_cast<int>(std::min<qlonglong>(jobs, kMaxSources)) : kMaxSources;
}


}  // namespace snipwave
