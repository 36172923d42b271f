#include "convert/JobSupport.h"

#include <QDir>
#include <QFileInfo>
#include <exception>

#include "components/audio/AudioInterfaces.h"
#include "platform/Error.h"
#include "platform/FileHelpers.h"
#include "platform/FileNames.h"

namespace snipwave {

namespace detail {

void CloseIfOpen(IAudioFile2* file) {
  if (file && file->IsOpen()) file->CloseFile();
}

int ProgressValue(std::int64_t done, std::int64_t count) {
  if (count <= 0) return 10000;
  if (done <= 0) return 0;
  return static_cast<int>((done * 10000 + count / 2) / count);
}

QString PreciseTime(std::int64_t frames, unsigned rate, bool withHours) {
  const std::int64_t ms = rate > 0 ? (frames * 1000 + rate / 2) / rate : 0;
  const std::int64_t seconds = ms / 1000, minutes = seconds / 60;
  const QString tail = QString("%1.%2").arg(seconds % 60, 2, 10, QChar('0')).arg(ms % 1000, 3, 10, QChar('0'));
  if (withHours) return QString("%1:%2:").arg(minutes / 60).arg(minutes % 60, 2, 10, QChar('0')) + tail;
  return QString("%1:").arg(minutes) + tail;
}

QString ShortReadMessage(const QString& file, std::int64_t begin, std::int64_t done, std::int64_t count,
                         unsigned rate) {
  const bool withHours = rate > 0 && begin + count >= std::int64_t(rate) * 3600;
  const auto time = [&](std::int64_t frames) { return PreciseTime(frames, rate, withHours); };
  return QString("%1 ended at %2, before its range (%3 to %4) did: %5 of the range's %6 were written.")
      .arg(file, time(begin + done), time(begin), time(begin + count), time(done), time(count));
}

QString MissingSourceMessage(const QString& path) {
  // A name that now stands for a pipe or a device must not be opened.
  const std::optional<QString> reason = NotARegularFile(path);
  return PathExists(path) && reason ? *reason : path + " has been removed.";
}

void RequireRegularFile(const QString& path) {
  if (const std::optional<QString> reason = NotARegularFile(path)) throw Error(reason->toStdString());
}

void SetWriterFormatOf(IAudioFile2& writer, const QString& source, int sampleRate, int channels) {
  try {
    writer.SetPcmFormat(sampleRate, channels);
  } catch (const Error& e) {
    throw Error(SystemPath(source) + " has audio the output cannot take (" + e.what() + ")");
  }
}

void RethrowNamingFinalPath(const QString& temporaryPath, const QString& finalPath) {
  try {
    throw;
  } catch (const Error& e) {
    std::string text = e.what();
    const std::string from = SystemPath(temporaryPath), to = SystemPath(finalPath);
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
      text.replace(at, from.size(), to);
    throw Error(text);
  }
}

void RunReportingFailure(JobReport& report, const char* job, const std::function<void()>& body) {
  try {
    body();
  } catch (const std::exception& e) {
    report.end = JobEnd::Failed;
    report.failure = QString::fromUtf8(e.what());
  } catch (...) {
    report.end = JobEnd::Failed;
    report.failure = QString("The %1 failed for a reason no component named.").arg(job);
  }
}

void CloseAfterJob(const std::vector<IAudioFile2*>& files, JobReport& report) {
  for (IAudioFile2* file : files) {
    try {
      CloseIfOpen(file);
    } catch (const std::exception& e) {
      const QString message = QString::fromUtf8(e.what());
      if (report.end == JobEnd::Failed && message != report.failure) report.cleanupFailures << message;
    }
  }
}

}  // namespace detail

QStringList JobSummaryLines(const JobReport& report) {
  QStringList lines;
  for (const auto& [path, frames] : report.damagedSources)
    lines << QString("%1 damaged frame%2 in %3 %4 replaced by silence.")
                 .arg(frames)
                 .arg(frames == 1 ? "" : "s")
                 .arg(path)
                 .arg(frames == 1 ? "was" : "were");
  lines << report.frameCopyNotes << report.levelNotes << report.checkFailures << report.tagFailures;
  return lines;
}


}  // namespace snipwave
