#pragma once

#include <QString>
#include <QList>
#include <QPair>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <vector>

namespace snipwave {

class IAudioFile2;
class ITagWriter;

// How a job ended, for callers that want to know (the command line).
enum class JobEnd {
  NotStarted,  // refused before anything was set up (empty list, preview, a job or an add running)
  Refused,     // refused by the output configuration or a check of the output name
  Cancelled,   // the save dialog was cancelled or the overwrite question answered No
  Completed,   // every row was processed
  Aborted,     // stopped before the last row was done
  Failed,      // a component failed: `failure` says why
};

// What a job did. Filled as the job goes, so it is still accurate when a
// component failure ends the job.
struct JobReport {
  JobEnd end = JobEnd::NotStarted;
  // The failure that ended the job (the library's message with the operation
  // and the path); empty unless `end` is Failed.
  QString failure;
  // Closing the reader or writer after that failure failed again: one
  // message each.
  QStringList cleanupFailures;
  QStringList writtenFiles;    // output files closed by the job, in order
  QStringList skippedSources;  // rows the cut skipped (source gone, no free name)
  // Sources that ended before their range did, one message each (see
  // detail::ShortReadMessage); their outputs are complete but shorter than
  // asked.
  QStringList shortReads;
  // Sources with audio that could not be decoded and was written as silence
  // of the same duration, with the number of frames replaced.
  QList<QPair<QString, std::int64_t>> damagedSources;
  // The values behind a refusal of the output configuration ("mp3: 8000 Hz,
  // 320 kbit/s, 2 channels"), for callers that show more than its message.
  QString refusedSettings;
  // Why the output folder could not be shown at the end; empty when it was.
  QString folderNotOpened;
  // Outputs whose tags could not be written, one message each; the audio of
  // these outputs is complete, only their tags are missing.
  QStringList tagFailures;
  // Outputs whose length, read back, differs from what was written.
  QStringList checkFailures;
  // Why sources were re-encoded although their MP3 frames were to be kept,
  // and what else the frame copy wants the user to know; one line each.
  QStringList frameCopyNotes;
  // What the level choices did: each range's gain, crossfades shortened,
  // the joined length; one line each.
  QStringList levelNotes;

  // True when every row was written in full.
  bool AllComplete() const {
    return end == JobEnd::Completed && skippedSources.isEmpty() && shortReads.isEmpty() && checkFailures.isEmpty();
  }
};

// The lines of the summary at the end of a job that are worth telling the
// user: one per damaged source ("3 damaged frames in /x/a.mp3 were replaced
// by silence."). Empty when there is nothing to tell.
QStringList JobSummaryLines(const JobReport& report);

// Status cell text of a row whose source ended before its range did.
inline constexpr const char* kShortStatus = "Short";

namespace detail {

void CloseIfOpen(IAudioFile2* file);
// MulDiv(done, 10000, count) for the 64-bit counts of a job: rounded to nearest.
int ProgressValue(std::int64_t done, std::int64_t count);
// "<file> ended at 12:08.120, before its range (0:05.000 to 25:05.000) did:
// 12:03.120 of the range's 25:00.000 were written." for a range of `count`
// frames from `begin` of which `done` were read; frames at `rate`; every time
// as h:mm:ss.mmm when the range ends after an hour, else m:ss.mmm.
QString ShortReadMessage(const QString& file, std::int64_t begin, std::int64_t done, std::int64_t count,
                         unsigned rate);
// `frames` at `rate` as m:ss.mmm, or h:mm:ss.mmm `withHours`.
QString PreciseTime(std::int64_t frames, unsigned rate, bool withHours);
// Why a row's source cannot be cut now that it is not a regular file any more:
// "<path> has been removed.", or what stands under its name instead.
QString MissingSourceMessage(const QString& path);
// Throws, before anything is opened, when `path` is no regular file (a pipe
// would block the reader forever).
void RequireRegularFile(const QString& path);
// Sets the writer's input format to the source's, naming the source when the
// writer refuses it (the writer's own text names no file).
void SetWriterFormatOf(IAudioFile2& writer, const QString& source, int sampleRate, int channels);
// Rewrites a library failure that names the temporary output so that it names
// the file the user asked for.
[[noreturn]] void RethrowNamingFinalPath(const QString& temporaryPath, const QString& finalPath);

// Runs a job's body; a failure (an exception) becomes the report's end,
// `Failed`, with its message. Never throws.
void RunReportingFailure(JobReport& report, const char* job, const std::function<void()>& body);
// Closes what the job's readers and writers still hold open (after a
// failure, the files it left). A close that fails again after a failure is
// noted among the report's clean-up failures.
void CloseAfterJob(const std::vector<IAudioFile2*>& files, JobReport& report);

}  // namespace detail

}  // namespace snipwave
