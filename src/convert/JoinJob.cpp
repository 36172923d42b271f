#include "convert/JoinJob.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>

#include "components/audio/AudioInterfaces.h"
#include "convert/OutputConfiguration.h"
#include "convert/OutputNames.h"
#include "platform/FileHelpers.h"
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

// True when `outputPath` names the same file as one of the listed sources:
// replacing it would destroy a source before it is read.
bool IsOneOfTheSources(const MainState& state, const QString& outputPath) {
  const QString target = QFileInfo(outputPath).canonicalFilePath();
  if (target.isEmpty()) return false;
  for (int row = 0; row < state.TrackCount; ++row)
    if (QFileInfo(state.TrackTable[static_cast<std::size_t>(row)].FilePath).canonicalFilePath() == target)
      return true;
  return false;
}

void EndWithoutWriting(MainState& state) {
  state.Converting = false;
  state.cm_Format->SetEnabled(true);
}

struct JobProgress {
  std::int64_t acc = 0;    // source frames consumed in the whole job
  std::int64_t total = 0;  // sum of all ranges
};

// Appends one row's range, converted to the output stream (rate, channels),
// to the open writer. Stops early when `Converting` is cleared.
void AppendRow(MainState& state, const Timerec& record, unsigned outputRate, int outputChannels,
               JobProgress& progress) {
  IAudioFile2& reader = *state.AudioFileRead;
  IAudioFile2& writer = *state.AudioFileWrite;
  detail::CloseIfOpen(&reader);
  reader.OpenFile(record.FilePath.toStdString(), 0, 1);
  reader.SeekSample(record.BeginSample, 3);
  const std::int64_t len = std::int64_t(record.EndSample) - record.BeginSample;
  const RateRatio ratio(reader.SampleRate(), outputRate);
  reader.SetPcmFormat(static_cast<int>(outputRate), outputChannels);

  // The range in output frames; the last read asks only for what is left of
  // it, so the row contributes exactly its range and nothing past the end mark.
  const std::int64_t wanted = len > 0 ? ratio.ToOutput(len) : 0;
  const std::int64_t chunk = std::int64_t(outputChannels) * outputRate;
  std::int64_t written = 0;  // output frames of this row
  std::int64_t sum = 0;      // source frames of this row consumed
  while (written < wanted) {
    state.MessagePump->ProcessPendingMessages();
    if (!state.Converting) break;
    const SampleBuffer buffer = reader.ReadSamples(static_cast<int>(std::min(chunk, wanted - written)));
    if (buffer.empty()) break;  // the source ended before the end mark
    written += static_cast<std::int64_t>(buffer.size()) / std::max(1, outputChannels);
    const std::int64_t newSum = written >= wanted ? len : std::min(len, ratio.ToSource(written));
    progress.acc = std::min(progress.total, progress.acc + (newSum - sum));
    sum = newSum;
    ShowProgress(state, detail::ProgressValue(progress.acc, progress.total));
    writer.WriteSamples(buffer);
  }
  detail::CloseIfOpen(&reader);
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
  const std::optional<QString> extension = ConfigureOutput(state);
  if (!extension) {
    report.end = JobEnd::Refused;
    return;
  }
  detail::CloseIfOpen(state.AudioFileWrite);

  const QString outputPath = JoinOutputPath(chosen, *extension);
  if (QFileInfo::exists(outputPath)) {
    if (IsOneOfTheSources(state, outputPath)) {
      state.Dialogs->ShowInformation(outputPath +
                                     " is one of the files to join and cannot be replaced. Please choose another name.");
      EndWithoutWriting(state);
      report.end = JobEnd::Refused;
      return;
    }
    if (!state.Dialogs->AskYesNo(kOverwriteQuestion)) {
      EndWithoutWriting(state);
      report.end = JobEnd::Cancelled;
      return;
    }
    MakeWritable(outputPath);
  }

  IAudioFile2& reader = *state.AudioFileRead;
  IAudioFile2& writer = *state.AudioFileWrite;
  detail::CloseIfOpen(&writer);
  reader.OpenFile(state.TrackTable[0].FilePath.toStdString(), 0, 1);
  const unsigned outputRate = reader.SampleRate();
  const int outputChannels = reader.Channels();
  reader.CloseFile();

  writer.SetPcmFormat(static_cast<int>(outputRate), outputChannels);
  writer.SetWmaProfile(kJoinWmaProfile);
  writer.CreateOutputFile(outputPath.toStdString(), 0);
  writer.SetPcmFormat(static_cast<int>(outputRate), outputChannels);

  for (int row = 0; row < rows && state.Converting; ++row) {
    state.MessagePump->ProcessPendingMessages();
    state.lv->SetCellText(row, kStatusCell, kJoining);
    AppendRow(state, state.TrackTable[static_cast<std::size_t>(row)], outputRate, outputChannels, progress);
    state.lv->SetCellText(row, kStatusCell, kFinish);
  }

  detail::CloseIfOpen(&writer);
  report.writtenFiles << outputPath;
  report.end = state.Converting ? JobEnd::Completed : JobEnd::Aborted;
  detail::FinishJob(state, FolderOf(chosen));
}

}  // namespace snipwave
