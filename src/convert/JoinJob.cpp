#include "convert/JoinJob.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <exception>
#include <optional>

#include "components/audio/AudioInterfaces.h"
#include "convert/CutJob.h"
#include "convert/LosslessMp3.h"
#include "convert/OutputCheck.h"
#include "convert/OutputNames.h"
#include "convert/OutputTags.h"
#include "convert/ReplayGain.h"
#include "platform/Error.h"
#include "platform/FileHelpers.h"
#include "platform/FileNames.h"
#include "platform/PendingOutputFile.h"

namespace snipwave {

namespace {

// Frames of a source at rate R against frames of the output stream at rate Q.
// Rounding is to the nearest integer, halves to the even neighbour.
class RateRatio {
 public:
  RateRatio(std::uint64_t sourceRate, std::uint64_t outputRate)
      : up_(sourceRate >= outputRate),
        ratio_(sourceRate == outputRate ? 1.0
               : up_                    ? double(sourceRate) / double(outputRate)
                                        : double(outputRate) / double(sourceRate)) {}
  std::int64_t ToSource(std::int64_t outputFrames) const {
    return static_cast<std::int64_t>(std::nearbyint(up_ ? outputFrames * ratio_ : outputFrames / ratio_));
  }
  std::int64_t ToOutput(std::int64_t sourceFrames) const {
    return static_cast<std::int64_t>(std::nearbyint(up_ ? sourceFrames / ratio_ : sourceFrames * ratio_));
  }

 private:
  bool up_;
  double ratio_;
};

// The listed source that is the same file as `outputPath`; nothing when none is.
std::optional<QString> SourceThatIs(const std::vector<JobRow>& rows, const QString& outputPath) {
  for (const JobRow& row : rows)
    if (SameFile(row.source, outputPath)) return row.source;
  return std::nullopt;
}

// The tags every source of the join shares; the title is the output's own
// name, since no source's title names the whole.
TagSet JoinTags(const std::vector<JobRow>& rows, const QString& outputPath) {
  std::vector<TagSet> sources;
  for (const JobRow& row : rows) sources.push_back(detail::SourceTags(row.source));
  TagSet tags = SharedTags(sources);
  tags.Set(TagField::Title, QFileInfo(outputPath).completeBaseName());
  return tags;
}

// What one row contributed.
struct RowResult {
  std::int64_t consumed = 0;  // source frames of its range
  std::int64_t length = 0;    // source frames the range asks for
  unsigned sourceRate = 0;
  std::int64_t damaged = 0;  // frames of the source read as silence
  std::int64_t written = 0;  // output frames given to the writer
};

class JoinRun {
 public:
  JoinRun(const JoinRequest& request, RowComponents& set, IJobObserver& observer, std::stop_token stop,
          JobReport& report)
      : request_(request), set_(set), observer_(observer), stop_(std::move(stop)), report_(report) {
    for (const JobRow& row : request.rows) total_ += row.Frames();
  }

  void Run();

 private:
  RowResult AppendRow(int row, unsigned outputRate, int outputChannels);
  std::vector<std::unique_ptr<Mp3FrameSource>> FrameSourcesOfRows();
  std::int64_t JoinByFrameCopy(const std::vector<std::unique_ptr<Mp3FrameSource>>& sources,
                               const QString& temporaryPath, int& rowsDone);
  void ReportProgress(int row, std::int64_t rowDone, std::int64_t rowFrames) {
    observer_.Progress({row, rowDone, rowFrames, acc_, total_});
  }

  const JoinRequest& request_;
  RowComponents& set_;
  IJobObserver& observer_;
  std::stop_token stop_;
  JobReport& report_;
  std::int64_t acc_ = 0;    // source frames consumed in the whole job
  std::int64_t total_ = 0;  // sum of all ranges
  std::exception_ptr sourceFailure_;
};

// Appends one row's range, converted to the output stream (rate, channels),
// to the open writer. Ends early at a stop, when the source has no more
// frames, or when the source fails (kept in `sourceFailure_`; a failing
// write throws).
RowResult JoinRun::AppendRow(int row, unsigned outputRate, int outputChannels) {
  const JobRow& record = request_.rows[static_cast<std::size_t>(row)];
  IAudioFile2& reader = *set_.reader;
  IAudioFile2& writer = *set_.writer;
  const std::int64_t len = record.end - record.begin;
  std::optional<RateRatio> sourceRatio;
  try {
    detail::CloseIfOpen(&reader);
    detail::RequireRegularFile(record.source);
    reader.OpenFile(SystemPath(record.source), 0, 1);
    reader.SeekSample(record.begin, 3);
    sourceRatio.emplace(reader.SampleRate(), outputRate);
    reader.SetPcmFormat(static_cast<int>(outputRate), outputChannels);
  } catch (...) {
    sourceFailure_ = std::current_exception();
    return {};
  }
  const RateRatio& ratio = *sourceRatio;

  // The range in output frames; the last read asks only for what is left of
  // it, so the row contributes exactly its range and nothing past the end mark.
  const std::int64_t wanted = len > 0 ? ratio.ToOutput(len) : 0;
  const std::int64_t chunk = std::int64_t(outputChannels) * outputRate;
  std::int64_t written = 0;  // output frames of this row
  std::int64_t sum = 0;      // source frames of this row consumed
  while (written < wanted) {
    if (stop_.stop_requested()) break;
    SampleBuffer buffer;
    try {
      buffer = reader.ReadSamples(static_cast<int>(std::min(chunk, wanted - written)));
    } catch (...) {
      sourceFailure_ = std::current_exception();
      return {};
    }
    if (buffer.empty()) break;  // the source ended before the end mark
    written += static_cast<std::int64_t>(buffer.size()) / std::max(1, outputChannels);
    const std::int64_t newSum = written >= wanted ? len : std::min(len, ratio.ToSource(written));
    acc_ = std::min(total_, acc_ + (newSum - sum));
    sum = newSum;
    ReportProgress(row, sum, std::max<std::int64_t>(len, 0));
    writer.WriteSamples(buffer);
  }
  RowResult result{written >= wanted ? std::max<std::int64_t>(len, 0) : sum, std::max<std::int64_t>(len, 0),
                   reader.SampleRate(), reader.DamagedFrames(), written};
  detail::CloseIfOpen(&reader);
  return result;
}

// Every row's source opened for copying its frames (one per file), or none
// when a row must be re-encoded, which the report then says.
std::vector<std::unique_ptr<Mp3FrameSource>> JoinRun::FrameSourcesOfRows() {
  IAudioFile2& reader = *set_.reader;
  std::vector<std::unique_ptr<Mp3FrameSource>> sources;
  for (const JobRow& record : request_.rows) {
    if (std::any_of(sources.begin(), sources.end(), [&](const auto& s) { return s->Path() == record.source; }))
      continue;
    QString reason;
    std::unique_ptr<Mp3FrameSource> source;
    try {
      detail::CloseIfOpen(&reader);
      detail::RequireRegularFile(record.source);
      reader.OpenFile(SystemPath(record.source), 0, 1);
      source = Mp3FrameSource::Open(record.source, reader.LengthSamples(), set_.encoder->SampleRate(),
                                    set_.encoder->Channels(), &reason);
      detail::CloseIfOpen(&reader);
    } catch (const std::exception&) {
      detail::CloseIfOpen(&reader);
      return {};  // the join itself reports the failing source
    }
    if (source && !(source->Stream().infoTag && source->Stream().infoTag->hasGapless))
      report_.frameCopyNotes << NoLengthTagNote(record.source);
    if (!source) {
      report_.frameCopyNotes << ReencodedNote(record.source, reason);
      return {};
    }
    sources.push_back(std::move(source));
  }
  bool anyFrame = false;
  for (const JobRow& record : request_.rows) {
    for (const auto& s : sources) {
      if (s->Path() != record.source) continue;
      if (record.end > s->Stream().length) {
        report_.frameCopyNotes << ReencodedNote(record.source, "its range runs past its end");
        return {};
      }
      anyFrame = anyFrame || mp3copy::HoldsWholeFrame(s->Stream(), record.begin, record.end);
    }
  }
  if (!anyFrame) {
    report_.frameCopyNotes << "The join was re-encoded, no MP3 frames kept: its ranges are shorter than an MP3 frame.";
    return {};
  }
  return sources;
}

// The join as one frame copy; returns the output frames written and sets
// the rows' status as the row-by-row join does.
std::int64_t JoinRun::JoinByFrameCopy(const std::vector<std::unique_ptr<Mp3FrameSource>>& sources,
                                      const QString& temporaryPath, int& rowsDone) {
  const int rows = static_cast<int>(request_.rows.size());
  std::vector<Mp3CopyRange> ranges;
  for (int row = 0; row < rows; ++row) {
    const JobRow& record = request_.rows[static_cast<std::size_t>(row)];
    for (const auto& s : sources)
      if (s->Path() == record.source) ranges.push_back({s.get(), record.begin, record.end});
    observer_.RowStatus(row, kJoiningStatus);
  }
  const auto keepGoing = [this](double share) {
    acc_ = static_cast<std::int64_t>(share * double(total_));
    observer_.Progress({0, acc_, total_, acc_, total_});
    return !stop_.stop_requested();
  };
  const mp3copy::CopyOutcome outcome = WriteMp3Copy(ranges, *set_.reader, false, temporaryPath, keepGoing);
  std::int64_t rowEnd = 0;
  for (int row = 0; row < rows; ++row) {
    const JobRow& record = request_.rows[static_cast<std::size_t>(row)];
    const std::int64_t rowStart = rowEnd;
    rowEnd += record.Frames();
    if (rowStart >= outcome.decodedFrames && rowEnd > rowStart) continue;  // not reached: keeps its text
    rowsDone = row + 1;
    if (outcome.decodedFrames < rowEnd && outcome.sourceEnded) {
      // The copy ends where a source's bytes ran out; later rows keep their text.
      observer_.RowStatus(row, kShortStatus);
      const QString message = detail::ShortReadMessage(
          record.source, outcome.decodedFrames - rowStart, rowEnd - rowStart,
          static_cast<unsigned>(ranges[static_cast<std::size_t>(row)].source->Stream().sampleRate));
      report_.shortReads << message;
      observer_.Message(message);
    } else {
      // A stopped row ends with "Finish" too, holding what was copied until the stop.
      observer_.RowStatus(row, kFinishStatus);
    }
  }
  report_.frameCopyNotes << ReencodedRunNotes(outcome, ranges);
  if (!outcome.encodedRanges.empty()) {
    QStringList rowNumbers;
    for (int row : outcome.encodedRanges) rowNumbers << QString::number(row + 1);
    report_.frameCopyNotes << "The ranges of rows " + rowNumbers.join(", ") +
                                  " were re-encoded: their MP3 frames do not fall on the joined file's frame grid.";
  }
  return outcome.decodedFrames;
}

void JoinRun::Run() {
  const std::vector<JobRow>& rows = request_.rows;
  const QString& outputPath = request_.outputPath;
  IAudioFile2& reader = *set_.reader;
  IAudioFile2& writer = *set_.writer;
  if (set_.encoder && !set_.configured) ApplyOutputConfiguration(request_.choices.output, writer, *set_.encoder);
  detail::CloseIfOpen(&writer);
  detail::RequireRegularFile(rows.front().source);
  reader.OpenFile(SystemPath(rows.front().source), 0, 1);
  const unsigned outputRate = reader.SampleRate();
  const int outputChannels = reader.Channels();
  reader.CloseFile();

  detail::SetWriterFormatOf(writer, rows.front().source, static_cast<int>(outputRate), outputChannels);
  writer.SetWmaProfile(kJoinWmaProfile);
  const bool keepFrames =
      request_.choices.output.type == OutputType::Mp3 && request_.choices.keepMp3Frames && set_.encoder;
  const std::vector<std::unique_ptr<Mp3FrameSource>> frameSources =
      keepFrames ? FrameSourcesOfRows() : std::vector<std::unique_ptr<Mp3FrameSource>>{};
  // Written under a temporary name beside the chosen one: an existing file
  // is replaced only by the finished output, and a failure leaves it whole.
  PendingOutputFile output(outputPath);
  std::int64_t written = 0;  // output frames given to the writer
  int rowsDone = 0;
  try {
    if (!frameSources.empty()) {
      written = JoinByFrameCopy(frameSources, output.TemporaryPath(), rowsDone);
    } else {
      writer.CreateOutputFile(SystemPath(output.TemporaryPath()), 0);
      writer.SetPcmFormat(static_cast<int>(outputRate), outputChannels);
      for (int row = 0; row < static_cast<int>(rows.size()) && !stop_.stop_requested(); ++row) {
        observer_.RowStatus(row, kJoiningStatus);
        const JobRow& record = rows[static_cast<std::size_t>(row)];
        const RowResult result = AppendRow(row, outputRate, outputChannels);
        if (sourceFailure_) break;  // the row keeps "Joining"
        written += result.written;
        rowsDone = row + 1;
        if (result.damaged > 0) report_.damagedSources.append({record.source, result.damaged});
        const bool shortened = !stop_.stop_requested() && result.consumed < result.length;
        observer_.RowStatus(row, shortened ? kShortStatus : kFinishStatus);
        if (shortened) {
          const QString message =
              detail::ShortReadMessage(record.source, result.consumed, result.length, result.sourceRate);
          report_.shortReads << message;
          observer_.Message(message);
        }
      }
    }
    detail::CloseIfOpen(&writer);
  } catch (...) {
    detail::RethrowNamingFinalPath(output.TemporaryPath(), output.FinalPath());
  }
  TagSet tags = request_.choices.keepTags ? JoinTags(rows, outputPath) : TagSet{};
  if (request_.choices.replayGain && !sourceFailure_ && written > 0) {
    // One file: its track is its album.
    try {
      const loudness::Loudness level =
          detail::MeasureOutput(*set_.reader, output.TemporaryPath(), outputPath)->Result();
      detail::SetTrackGain(tags.replayGain, level);
      detail::SetAlbumGain(tags.replayGain, level);
    } catch (const std::exception& e) {
      report_.tagFailures << "The ReplayGain of " + outputPath + " could not be measured (" +
                                 QString::fromUtf8(e.what()) + ").";
    }
  }
  detail::TagOutput(request_.choices.tagWriter, output.TemporaryPath(), outputPath, tags, report_);
  std::optional<QString> checkFailure;
  if (set_.checker && !sourceFailure_)
    checkFailure = detail::CheckOutputLength(*set_.checker, output.TemporaryPath(), outputPath, written, outputRate);
  if (sourceFailure_) {
    // A source that failed ends the job, as any component failure does.
    // The rows joined so far are kept under the final name; a file the join
    // was to replace is left whole rather than replaced by an unfinished join.
    if (!request_.replacing && output.CommitAsNew()) report_.writtenFiles << outputPath;
    std::rethrow_exception(sourceFailure_);
  }
  if (request_.replacing) {
    output.CommitReplacing();
  } else if (!output.CommitAsNew()) {
    throw Error(SystemPath(outputPath) +
                " was created by another program while the join ran; it was left as it is and the join was not saved.");
  }
  report_.writtenFiles << outputPath;
  if (checkFailure) {
    report_.checkFailures << *checkFailure;
    for (int row = 0; row < rowsDone; ++row) observer_.RowStatus(row, kCheckFailedStatus);
  }
}

}  // namespace

JoinTarget CheckJoinTarget(const std::vector<JobRow>& rows, const QString& outputPath, IJobObserver& observer) {
  if (!PathExists(outputPath)) return JoinTarget::Create;
  // Only a file can be replaced; a folder (or a pipe, a device) of that
  // name is refused before anything is asked.
  if (!FileExists(outputPath)) {
    observer.Message(outputPath + " is not a file and cannot be replaced. Please choose another name.");
    return JoinTarget::Refused;
  }
  if (const std::optional<QString> source = SourceThatIs(rows, outputPath)) {
    const QString same = *source == outputPath ? QString() : " (it is the same file as " + *source + ")";
    observer.Message(outputPath + " is one of the files to join" + same +
                     " and cannot be replaced. Please choose another name.");
    return JoinTarget::Refused;
  }
  if (!observer.AskOverwrite(QString::fromLatin1(kOverwriteQuestion))) return JoinTarget::Cancelled;
  MakeWritable(outputPath);
  return JoinTarget::Replace;
}

JobReport RunJoin(const JoinRequest& request, RowComponents& set, IJobObserver& observer, std::stop_token stop) {
  JobReport report;
  if (request.rows.empty()) {
    report.end = JobEnd::Completed;
    return report;
  }
  detail::RunReportingFailure(report, "join", [&] {
    JoinRun(request, set, observer, stop, report).Run();
    report.end = stop.stop_requested() ? JobEnd::Aborted : JobEnd::Completed;
  });
  detail::CloseAfterJob({set.reader.get(), set.writer.get()}, report);
  return report;
}

}  // namespace snipwave
