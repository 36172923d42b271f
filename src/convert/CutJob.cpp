#include "convert/CutJob.h"

#include <algorithm>

#include "components/audio/AudioInterfaces.h"
#include "convert/OutputConfiguration.h"
#include "convert/OutputNames.h"
#include "platform/FileHelpers.h"
#include "state/MainState.h"

namespace snipwave {

namespace {

constexpr const char* kCutting = "Cutting";
constexpr const char* kFinish = "Finish";

// Copies `count` frames from the reader's position to the writer, chunk by
// chunk, with progress; stops early when `Converting` is cleared.
void CopyRange(MainState& state, std::int64_t count) {
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
    if (!state.Converting) return;
    chunk = std::min(chunk, count - done);
    const SampleBuffer buffer = reader.ReadSamples(static_cast<int>(chunk));
    if (buffer.empty()) {
      ShowProgress(state, 10000);
      return;
    }
    writer.SetPcmFormat(rate, channels);
    writer.WriteSamples(buffer);
    done = std::min<std::int64_t>(done + static_cast<std::int64_t>(buffer.size()) / frameSize, count);
    ShowProgress(state, detail::ProgressValue(done, count));
    if (done == count) return;
  }
}

QString NoFreeNameMessage(const QString& sourcePath) {
  return "No free output name is left for " + sourcePath + ": Cut_ and Cut(1)_ to Cut(" +
         QString::number(kMaxCutNameNumber) + ")_ all exist in the output folder.";
}

}  // namespace

void Cut(MainState& state, const JobOptions& options) {
  if (detail::RefuseJobStart(state)) return;
  JobReport scratch;
  JobReport& report = options.report ? *options.report : scratch;

  state.Converting = true;
  state.cm_Format->SetEnabled(false);
  const std::optional<QString> extension = ConfigureOutput(state);
  if (!extension) {
    report.end = JobEnd::Refused;
    return;
  }
  detail::CloseIfOpen(state.AudioFileWrite);
  ShowProgress(state, 0);

  QString folder = detail::ReadOutputFolder(state, options.outputFolder);
  if (!FolderExists(folder)) CreateFolderOneLevel(folder);  // a failure shows when the file is created
  folder = WithTrailingSeparator(folder);
  state.OutputFolder = folder;

  const int rows = state.TrackCount;
  for (int row = 0; row < rows && state.Converting; ++row) {
    state.MessagePump->ProcessPendingMessages();
    ShowProgress(state, 0);
    const Timerec& record = state.TrackTable[static_cast<std::size_t>(row)];
    if (!FileExists(record.FilePath)) {
      state.Dialogs->ShowInformation(record.FilePath + " has been removed.");
      report.skippedSources << record.FilePath;
      continue;
    }
    const std::optional<QString> outputPath = FreeCutOutputPath(folder, record.FilePath, *extension);
    if (!outputPath) {
      state.Dialogs->ShowInformation(NoFreeNameMessage(record.FilePath));
      report.skippedSources << record.FilePath;
      continue;
    }
    state.lv->SetCellText(row, kStatusCell, kCutting);

    IAudioFile2& reader = *state.AudioFileRead;
    IAudioFile2& writer = *state.AudioFileWrite;
    detail::CloseIfOpen(&reader);
    reader.OpenFile(record.FilePath.toStdString(), 0, 1);
    reader.SeekSample(record.BeginSample, 3);
    const std::int64_t count = record.EndSample - record.BeginSample;

    detail::CloseIfOpen(&writer);
    writer.SetPcmFormat(static_cast<int>(reader.SampleRate()), reader.Channels());
    writer.CreateOutputFile(outputPath->toStdString(), 0);

    CopyRange(state, count);

    detail::CloseIfOpen(&reader);
    detail::CloseIfOpen(&writer);
    report.writtenFiles << *outputPath;
    ShowProgress(state, 10000);
    state.lv->SetCellText(row, kStatusCell, kFinish);
  }
  report.end = state.Converting ? JobEnd::Completed : JobEnd::Aborted;
  detail::FinishJob(state, state.OutputFolder);
}

}  // namespace snipwave
