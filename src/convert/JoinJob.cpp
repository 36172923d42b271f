#include "convert/JoinJob.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <exception>
#include <optional>

#include "components/audio/AudioInterfaces.h"
#include "convert/LosslessMp3.h"
#include "convert/OutputConfiguration.h"
#include "convert/OutputCheck.h"
#include "convert/OutputNames.h"
#include "convert/OutputTags.h"
#include "platform/Error.h"
#include "platform/FileHelpers.h"
#include "platform/FileNames.h"
#include "platform/PendingOutputFile.h"
#include "state/MainState.h"

namespace snipwave {

namespace {

constexpr const char* kJoining = "Joining";
constexpr const char* kFinish = "Finish";

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

// The listed source that is the same file as `outputPath` (by device and
// inode, so hard and symbolic links count): replacing it would destroy a
// source. Nothing when there is none.
std::optional<QString> SourceThatIs(const MainState& state, const QString& outputPath) {
  for (int row = 0; row < state.TrackCount; ++row) {
    const QString& source = state.TrackTable[static_cast<std::size_t>(row)].FilePath;
    if (SameFile(source, outputPath)) return source;
  }
  return std::nullopt;
}

// The tags every source of the join shares; the title is the output's own
// name, since no source's title names the whole.
TagSet JoinTags(const MainState& state, const QString& outputPath) {
  std::vector<TagSet> sources;
  for (int row = 0; row < state.TrackCount; ++row)
    sources.push_back(detail::SourceTags(state.TrackTable[static_cast<std::size_t>(row)].FilePath));
  TagSet tags = SharedTags(sources);
  tags.Set(TagField::Title, QFileInfo(outputPath).completeBaseName());
  return tags;
}

void EndWithoutWriting(MainState& state) {
  state.Converting = false;
  state.cm_Format->SetEnabled(true);
}

struct JobProgress {
  std::int64_t acc = 0;    // source frames consumed in the whole job
  std::int64_t total = 0;  // sum of all ranges
};

// What one row contributed.
struct RowResult {
  std::int64_t consumed = 0;  // source frames of its range
  std::int64_t length = 0;    // source frames the range asks for
  unsigned sourceRate = 0;
  std::int64_t damaged = 0;   // frames of the source read as silence
  std::int64_t written = 0;   // output frames given to the writer
};

// Appends one row's range, converted to the output stream (rate, channels),
// to the open writer. Stops early when `Converting` is cleared, when the
// source has no more frames, or when the source fails (kept in
// `sourceFailure`; a failing write throws).
RowResult AppendRow(MainState& state, const Timerec& record, unsigned outputRate, int outputChannels,
                    JobProgress& progress, std::exception_ptr& sourceFailure) {
  IAudioFile2& reader = *state.AudioFileRead;
  IAudioFile2& writer = *state.AudioFileWrite;
  const std::int64_t len = std::int64_t(record.EndSample) - record.BeginSample;
  std::optional<RateRatio> sourceRatio;
  try {
    detail::CloseIfOpen(&reader);
    detail::RequireRegularFile(record.FilePath);
    reader.OpenFile(SystemPath(record.FilePath), 0, 1);
    reader.SeekSample(record.BeginSample, 3);
    sourceRatio.emplace(reader.SampleRate(), outputRate);
    reader.SetPcmFormat(static_cast<int>(outputRate), outputChannels);
  } catch (...) {
    sourceFailure = std::current_exception();
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
    state.MessagePump->ProcessPendingMessages();
    if (!state.Converting) break;
    SampleBuffer buffer;
    try {
      buffer = reader.ReadSamples(static_cast<int>(std::min(chunk, wanted - written)));
    } catch (...) {
      sourceFailure = std::current_exception();
      return {};
    }
    if (buffer.empty()) break;  // the source ended before the end mark
    written += static_cast<std::int64_t>(buffer.size()) / std::max(1, outputChannels);
    const std::int64_t newSum = written >= wanted ? len : std::min(len, ratio.ToSource(written));
    progress.acc = std::min(progress.total, progress.acc + (newSum - sum));
    sum = newSum;
    ShowProgress(state, detail::ProgressValue(progress.acc, progress.total));
    writer.WriteSamples(buffer);
  }
  RowResult result{written >= wanted ? std::max<std::int64_t>(len, 0) : sum, std::max<std::int64_t>(len, 0),
                   reader.SampleRate(), reader.DamagedFrames(), written};
  detail::CloseIfOpen(&reader);
  return result;
}

// Every row's source opened for copying its frames (one per file), or none
// when a row must be re-encoded, which the report then says.
std::vector<std::unique_ptr<Mp3FrameSource>> FrameSourcesOfRows(MainState& state, JobReport& report) {
  IAudioFile2& reader = *state.AudioFileRead;
  std::vector<std::unique_ptr<Mp3FrameSource>> sources;
  for (int row = 0; row < state.TrackCount; ++row) {
    const Timerec& record = state.TrackTable[static_cast<std::size_t>(row)];
    if (std::any_of(sources.begin(), sources.end(), [&](const auto& s) { return s->Path() == record.FilePath; }))
      continue;
    QString reason;
    std::unique_ptr<Mp3FrameSource> source;
    try {
      detail::CloseIfOpen(&reader);
      detail::RequireRegularFile(record.FilePath);
      reader.OpenFile(SystemPath(record.FilePath), 0, 1);
      source = Mp3FrameSource::Open(record.FilePath, reader.LengthSamples(), state.AudioFile2LameEnc->SampleRate(),
                                    state.AudioFile2LameEnc->Channels(), &reason);
      detail::CloseIfOpen(&reader);
    } catch (const std::exception&) {
      detail::CloseIfOpen(&reader);
      return {};  // the join itself reports the failing source
    }
    if (source && !(source->Stream().infoTag && source->Stream().infoTag->hasGapless))
      report.frameCopyNotes << NoLengthTagNote(record.FilePath);
    if (!source) {
      report.frameCopyNotes << ReencodedNote(record.FilePath, reason);
      return {};
    }
    sources.push_back(std::move(source));
  }
  bool anyFrame = false;
  for (int row = 0; row < state.TrackCount; ++row) {
    const Timerec& record = state.TrackTable[static_cast<std::size_t>(row)];
    for (const auto& s : sources) {
      if (s->Path() != record.FilePath) continue;
      if (record.EndSample > s->Stream().length) {
        report.frameCopyNotes << ReencodedNote(record.FilePath, "its range runs past its end");
        return {};
      }
      anyFrame = anyFrame || mp3copy::HoldsWholeFrame(s->Stream(), record.BeginSample, record.EndSample);
    }
  }
  if (!anyFrame) {
    report.frameCopyNotes << "The join was re-encoded, no MP3 frames kept: its ranges are shorter than an MP3 frame.";
    return {};
  }
  return sources;
}

// The join as one frame copy; returns the output frames written and sets
// the rows' status cells as the row-by-row join does.
std::int64_t JoinByFrameCopy(MainState& state, const std::vector<std::unique_ptr<Mp3FrameSource>>& sources,
                             const QString& temporaryPath, JobProgress& progress, JobReport& report, int& rowsDone) {
  std::vector<Mp3CopyRange> ranges;
  for (int row = 0; row < state.TrackCount; ++row) {
    const Timerec& record = state.TrackTable[static_cast<std::size_t>(row)];
    for (const auto& s : sources)
      if (s->Path() == record.FilePath) ranges.push_back({s.get(), record.BeginSample, record.EndSample});
    state.lv->SetCellText(row, kStatusCell, kJoining);
  }
  const auto keepGoing = [&state, &progress](double share) {
    state.MessagePump->ProcessPendingMessages();
    ShowProgress(state, static_cast<int>(share * 10000));
    progress.acc = static_cast<std::int64_t>(share * double(progress.total));
    return state.Converting;
  };
  const mp3copy::CopyOutcome outcome = WriteMp3Copy(ranges, *state.AudioFileRead, false, temporaryPath, keepGoing);
  std::int64_t rowEnd = 0;
  for (int row = 0; row < state.TrackCount; ++row) {
    const Timerec& record = state.TrackTable[static_cast<std::size_t>(row)];
    const std::int64_t rowStart = rowEnd;
    rowEnd += std::max<std::int64_t>(0, record.EndSample - record.BeginSample);
    if (rowStart >= outcome.decodedFrames && rowEnd > rowStart) continue;  // not reached: keeps its text
    rowsDone = row + 1;
    if (outcome.decodedFrames < rowEnd && outcome.sourceEnded) {
      // The copy ends where a source's bytes ran out; later rows keep their text.
      state.lv->SetCellText(row, kStatusCell, kShortStatus);
      const QString message =
          detail::ShortReadMessage(record.FilePath, outcome.decodedFrames - rowStart, rowEnd - rowStart,
                                   static_cast<unsigned>(ranges[static_cast<std::size_t>(row)].source->Stream().sampleRate));
      report.shortReads << message;
      state.Dialogs->ShowInformation(message);
    } else {
      // A stopped row ends with "Finish" too, holding what was copied until the stop.
      state.lv->SetCellText(row, kStatusCell, kFinish);
    }
  }
  report.frameCopyNotes << ReencodedRunNotes(outcome, ranges);
  if (!outcome.encodedRanges.empty()) {
    QStringList rows;
    for (int row : outcome.encodedRanges) rows << QString::number(row + 1);
    report.frameCopyNotes << "The ranges of rows " + rows.join(", ") +
                                 " were re-encoded: their MP3 frames do not fall on the joined file's frame grid.";
  }
  return outcome.decodedFrames;
}

}  // namespace


void Join(MainState& state, const JobOptions& options) {
  if (detail::RefuseJobStart(state)) return;
  JobReport scratch;
  JobReport& report = options.report ? *options.report : scratch;

  state.OutputFolder = detail::ReadOutputFolder(state, options.outputFolder);
  if (!FolderExists(state.OutputFolder)) CreateFolderOneLevel(state.OutputFolder);

  const std::optional<OutputType> type = OutputTypeFromIndex(state.cm_Format->ItemIndex());
  const QString chosen =
      state.Dialogs->GetSaveFileName(state.OutputFolder, type ? SaveFilterFor(*type) : FileFilter{});
  if (chosen.isEmpty()) {
    report.end = JobEnd::Cancelled;
    return;
  }

  JobProgress progress;
  const int rows = state.TrackCount;
  for (int row = 0; row < rows; ++row) {
    const Timerec& record = state.TrackTable[static_cast<std::size_t>(row)];
    progress.total += std::max<std::int64_t>(0, std::int64_t(record.EndSample) - record.BeginSample);
  }

  state.cm_Format->SetEnabled(false);
  state.Converting = true;
  ShowProgress(state, 0);
  const std::optional<QString> extension = ConfigureOutput(state, &report.refusedSettings, OutputUse::Join);
  if (!extension) {
    report.end = JobEnd::Refused;
    return;
  }
  detail::CloseIfOpen(state.AudioFileWrite);

  const QString outputPath = JoinOutputPath(chosen, *extension);
  const bool replacing = PathExists(outputPath);
  if (replacing) {
    // Only a file can be replaced; a folder (or a pipe, a device) of that
    // name is refused before anything is asked.
    if (!FileExists(outputPath)) {
      state.Dialogs->ShowInformation(outputPath + " is not a file and cannot be replaced. Please choose another name.");
      EndWithoutWriting(state);
      report.end = JobEnd::Refused;
      return;
    }
    if (const std::optional<QString> source = SourceThatIs(state, outputPath)) {
      const QString same = *source == outputPath ? QString() : " (it is the same file as " + *source + ")";
      state.Dialogs->ShowInformation(outputPath + " is one of the files to join" + same +
                                     " and cannot be replaced. Please choose another name.");
      EndWithoutWriting(state);
      report.end = JobEnd::Refused;
      return;
    }
    // Enter must not replace it: No is the default button.
    if (!state.Dialogs->AskYesNo(QString::fromLatin1(kOverwriteQuestion), YesNoDefault::No)) {
      EndWithoutWriting(state);
      report.end = JobEnd::Cancelled;
      return;
    }
    MakeWritable(outputPath);
  }

  IAudioFile2& reader = *state.AudioFileRead;
  IAudioFile2& writer = *state.AudioFileWrite;
  detail::CloseIfOpen(&writer);
  detail::RequireRegularFile(state.TrackTable[0].FilePath);
  reader.OpenFile(SystemPath(state.TrackTable[0].FilePath), 0, 1);
  const unsigned outputRate = reader.SampleRate();
  const int outputChannels = reader.Channels();
  reader.CloseFile();

  detail::SetWriterFormatOf(writer, state.TrackTable[0].FilePath, static_cast<int>(outputRate), outputChannels);
  writer.SetWmaProfile(kJoinWmaProfile);
  // Read with the job's other settings: closing the window during the join
  // releases the store, whose reads then give their defaults.
  const bool keepTags = detail::KeepTags(state, options);
  const std::vector<std::unique_ptr<Mp3FrameSource>> frameSources =
      *extension == ".mp3" && state.AudioFile2LameEnc && KeepMp3Frames(state, options)
          ? FrameSourcesOfRows(state, report)
          : std::vector<std::unique_ptr<Mp3FrameSource>>{};
  // Written under a temporary name beside the chosen one: an existing file
  // is replaced only by the finished output, and a failure leaves it whole.
  PendingOutputFile output(outputPath);
  std::exception_ptr sourceFailure;
  std::int64_t written = 0;  // output frames given to the writer
  int rowsDone = 0;
  try {
    if (!frameSources.empty()) {
      written = JoinByFrameCopy(state, frameSources, output.TemporaryPath(), progress, report, rowsDone);
    } else {
    writer.CreateOutputFile(SystemPath(output.TemporaryPath()), 0);
    writer.SetPcmFormat(static_cast<int>(outputRate), outputChannels);

    for (int row = 0; row < rows && state.Converting; ++row) {
      state.MessagePump->ProcessPendingMessages();
      state.lv->SetCellText(row, kStatusCell, kJoining);
      const Timerec& record = state.TrackTable[static_cast<std::size_t>(row)];
      const RowResult result = AppendRow(state, record, outputRate, outputChannels, progress, sourceFailure);
      if (sourceFailure) break;  // the row keeps "Joining"
      written += result.written;
      rowsDone = row + 1;
      if (result.damaged > 0) report.damagedSources.append({record.FilePath, result.damaged});
      const bool shortened = state.Converting && result.consumed < result.length;
      state.lv->SetCellText(row, kStatusCell, shortened ? kShortStatus : kFinish);
      if (shortened) {
        const QString message =
            detail::ShortReadMessage(record.FilePath, result.consumed, result.length, result.sourceRate);
        report.shortReads << message;
        state.Dialogs->ShowInformation(message);
      }
    }
    }
    detail::CloseIfOpen(&writer);
  } catch (...) {
    detail::RethrowNamingFinalPath(output.TemporaryPath(), output.FinalPath());
  }
  if (keepTags)
    detail::TagOutput(options, output.TemporaryPath(), outputPath, JoinTags(state, outputPath), report);
  std::optional<QString> checkFailure;
  if (state.AudioFileCheck && !sourceFailure)
    checkFailure =
        detail::CheckOutputLength(*state.AudioFileCheck, output.TemporaryPath(), outputPath, written, outputRate);
  if (sourceFailure) {
    // A source that failed leaves the job, as any component failure does.
    // The rows joined so far are kept under a new name; a file the join was
    // to replace is left whole rather than replaced by an unfinished join.
    if (!replacing && output.CommitAsNew()) report.writtenFiles << outputPath;
    std::rethrow_exception(sourceFailure);
  }
  if (replacing) {
    output.CommitReplacing();
  } else if (!output.CommitAsNew()) {
    throw Error(SystemPath(outputPath) +
                " was created by another program while the join ran; it was left as it is and the join was not saved.");
  }
  report.writtenFiles << outputPath;
  if (checkFailure) {
    report.checkFailures << *checkFailure;
    for (int row = 0; row < rowsDone; ++row) state.lv->SetCellText(row, kStatusCell, kCheckFailedStatus);
  }
  report.end = state.Converting ? JobEnd::Completed : JobEnd::Aborted;
  report.folderNotOpened = detail::FinishJob(state, FolderOf(chosen));
}

}  // namespace snipwave
