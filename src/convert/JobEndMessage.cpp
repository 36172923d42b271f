#include "convert/JobEndMessage.h"

#include <QDir>

namespace snipwave {

QString JobEndMessage(const JobReport& report) {
  QStringList parts;
  if (!report.writtenFiles.isEmpty()) {
    QStringList lines{report.end == JobEnd::Aborted ? QStringLiteral("Written before the stop:")
                                                    : QStringLiteral("Written:")};
    for (const QString& file : report.writtenFiles) lines << QDir::toNativeSeparators(file);
    parts << lines.join(QLatin1Char('\r'));
  }
  const QStringList summary = JobSummaryLines(report);
  if (!summary.isEmpty()) parts << summary.join(QLatin1Char('\r'));
  if (!report.folderNotOpened.isEmpty()) parts << report.folderNotOpened;
  return parts.join(QStringLiteral("\r\r"));
}

}  // namespace snipwave
