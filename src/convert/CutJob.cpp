#include "convert/CutJob.h"

#include <algorithm>
#include <exception>

#include "components/audio/AudioInterfaces.h"
#include "convert/LosslessMp3.h"
#include "convert/OutputConfiguration.h"
#include "convert/OutputCheck.h"
#include "convert/OutputNames.h"
#include "convert/OutputTags.h"
#include "platform/FileHelpers.h"
#include "platform/FileNames.h"
#include "platform/PendingOutputFile.h"
#include "state/MainState.h"

namespace snipwave {

namespace {

constexpr const char* kCutting = "Cutting";
constexpr const char* kFinish = "Finish";

// Copies `count` frames from the reader's position to the writer, chunk by
// chunk, with progress; stops early when `Converting` is cleared, when the
// source has no more frames, or when reading it fails (the failure is kept in
// `sourceFailure`; a failing write throws). Returns the frames copied.
std::int64_t CopyRange(MainState& state, std::int64_t count, std::exception_ptr& sourceFailure) {
  IAudioFile2& reader = *state.AudioFileRead;
  IAudioFile2& writer = *state.AudioFileWrite;
  const int channels = reader.Channels();
  const int rate = static_cast<int>(reader.SampleRate());
  // Buffers hold one element per channel sample; a reader that reports no
  // frame size is taken at its channel count.
  const int frameSize = std::max(1, reader.FrameSize() > 0 ? reader.FrameSize() : channels);
  std::int64_t done = 0;
  std::int64_t chunk = std::int64_t(rate) * channels;  // two seconds of stereo, one of mono
  while (done < count) {
    state.MessagePump->ProcessPendingMessages();
    state.MessagePump->ProcessPendingMessages();
    if (!state.Converting) return done;
    chunk = std::min(chunk, count - done);
    SampleBuffer buffer;
    try {
      buffer = reader.ReadSamples(static_cast<int>(chunk));
    } catch (...) {
      sourceFailure = std::current_exception();
      return done;
    }
    if (buffer.empty()) return done;  // the source ended before the range did
    writer.SetPcmFormat(rate, channels);
    writer.WriteSamples(buffer);
    done = std::min<std::int64_t>(done + static_cast<std::int64_t>(buffer.size()) / frameSize, count);
    ShowProgress(state, detail::ProgressValue(done, count));
  }
  return done;
}

// The row's source opened for copying its frames, or nullptr (with the
// reason noted once in the report) when the row is re-encoded.
std::unique_ptr<Mp3FrameSource> FrameSourceFor(const MainState& state, const Timerec& record, IAudioFile2& reader,
                                               JobReport& report) {
  QString reason;
  std::unique_ptr<Mp3FrameSource> source =
      Mp3FrameSource::Open(record.FilePath, reader.LengthSamples(), state.AudioFile2LameEnc->SampleRate(),
                           state.AudioFile2LameEnc->Channels(), &reason);
  if (source && record.EndSample > source->Stream().length) {
    source.reset();
    reason = "its range runs past its end";
  }
  if (source && !mp3copy::HoldsWholeFrame(source->Stream(), record.BeginSample, record.EndSample)) {
    source.reset();
    reason = "its range is shorter than an MP3 frame";
  }
  QString note = source ? QString() : ReencodedNote(record.FilePath, reason);
  if (source && !(source->Stream().infoTag && source->Stream().infoTag->hasGapless))
    note = NoLengthTagNote(record.FilePath);
  if (!note.isEmpty() && !report.frameCopyNotes.contains(note)) report.frameCopyNotes << note;
  return source;
}

}  // namespace

void Cut(MainState& state, const JobOptions& options) {
  if (detail::RefuseJobStart(state)) return;
  JobReport scratch;
  JobReport& report = options.report ? *options.report : scratch;

  const std::optional<QString> extension = detail::StartCutJob(state, report);
  if (!extension) return;
  detail::CloseIfOpen(state.AudioFileWrite);
  ShowProgress(state, 0);

  const QString folder = detail::PrepareCutFolder(state, options.outputFolder);

  const bool keepTags = detail::KeepTags(state, options);
  const bool keepFrames = *extension == ".mp3" && state.AudioFile2LameEnc && KeepMp3Frames(state, options);
  const int rows = state.TrackCount;
  for (int row = 0; row < rows && state.Converting; ++row) {
    state.MessagePump->ProcessPendingMessages();
    ShowProgress(state, 0);
    const Timerec& record = state.TrackTable[static_cast<std::size_t>(row)];
    if (!FileExists(record.FilePath)) {
      state.Dialogs->ShowInformation(detail::MissingSourceMessage(record.FilePath));
      report.skippedSources << record.FilePath;
      continue;
    }
    const std::optional<QString> outputPath = FreeCutOutputPath(folder, record.FilePath, *extension);
    if (!outputPath) {
      state.Dialogs->ShowInformation(NoFreeCutNameMessage(record.FilePath));
      report.skippedSources << record.FilePath;
      continue;
    }
    state.lv->SetCellText(row, kStatusCell, kCutting);

    IAudioFile2& reader = *state.AudioFileRead;
    IAudioFile2& writer = *state.AudioFileWrite;
    detail::CloseIfOpen(&reader);
    reader.OpenFile(SystemPath(record.FilePath), 0, 1);
    reader.SeekSample(record.BeginSample, 3);
    const std::int64_t count = record.EndSample - record.BeginSample;
    const unsigned rate = reader.SampleRate();

    detail::CloseIfOpen(&writer);
    detail::SetWriterFormatOf(writer, record.FilePath, static_cast<int>(rate), reader.Channels());
    // Written under a temporary name; the output gets its name only when it
    // is complete, and a failure below leaves no file behind.
    PendingOutputFile output(*outputPath);
    std::int64_t done = 0, damaged = 0;
    std::exception_ptr sourceFailure;
    const std::unique_ptr<Mp3FrameSource> frameSource =
        keepFrames ? FrameSourceFor(state, record, reader, report) : nullptr;
    try {
      if (frameSource) {
        const auto keepGoing = [&state](double share) {
          state.MessagePump->ProcessPendingMessages();
          ShowProgress(state, static_cast<int>(share * 10000));
          return state.Converting;
        };
        const std::vector<Mp3CopyRange> ranges = {{frameSource.get(), record.BeginSample, record.EndSample}};
        const mp3copy::CopyOutcome outcome = WriteMp3Copy(ranges, reader, true, output.TemporaryPath(), keepGoing);
        report.frameCopyNotes << ReencodedRunNotes(outcome, ranges);
        done = outcome.decodedFrames;
      } else {
        writer.CreateOutputFile(SystemPath(output.TemporaryPath()), 0);
        done = CopyRange(state, count, sourceFailure);
      }
      if (!sourceFailure && reader.IsOpen()) {  // a frame copy has closed it
        damaged = reader.DamagedFrames();
        detail::CloseIfOpen(&reader);
      }
      detail::CloseIfOpen(&writer);
    } catch (...) {
      // A failed write: the output is dropped (the destructor removes it).
      detail::RethrowNamingFinalPath(output.TemporaryPath(), output.FinalPath());
    }
    if (damaged > 0) report.damagedSources.append({record.FilePath, damaged});
    if (keepTags)
      detail::TagOutput(options, output.TemporaryPath(), output.FinalPath(), detail::SourceTags(record.FilePath), report);
    std::optional<QString> checkFailure;
    if (state.AudioFileCheck)
      checkFailure =
          detail::CheckOutputLength(*state.AudioFileCheck, output.TemporaryPath(), *outputPath, done, rate);
    if (!CommitCutOutput(output, folder, record.FilePath, *extension)) {
      state.Dialogs->ShowInformation(NoFreeCutNameMessage(record.FilePath));
      report.skippedSources << record.FilePath;
      if (sourceFailure) std::rethrow_exception(sourceFailure);
      continue;
    }
    report.writtenFiles << output.FinalPath();
    if (checkFailure) report.checkFailures << checkFailure->replace(*outputPath, output.FinalPath());
    // A source that failed while it was read leaves the job, as any component
    // failure does; what was read from it is kept, complete, as the row's file.
    // The row keeps "Cutting" and the reader stays open for the clean-up.
    if (sourceFailure) std::rethrow_exception(sourceFailure);
    ShowProgress(state, 10000);
    const bool shortened = state.Converting && done < count;
    // A stopped row ends with "Finish" too: its file is complete and holds
    // the part of the range copied until the stop.
    state.lv->SetCellText(row, kStatusCell, checkFailure ? kCheckFailedStatus : shortened ? kShortStatus : kFinish);
    if (shortened) {
      const QString message = detail::ShortReadMessage(record.FilePath, done, count, rate);
      report.shortReads << message;
      state.Dialogs->ShowInformation(message);
    }
  }
  report.end = state.Converting ? JobEnd::Completed : JobEnd::Aborted;
  report.folderNotOpened = detail::FinishJob(state, state.OutputFolder);
}

}  // namespace snipwave
