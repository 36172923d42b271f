#include "shell/WindowJobs.h"

#include <QDir>
#include <QThread>
#include <algorithm>

#include "components/audio/AudioInterfaces.h"
#include "convert/LevelSettings.h"
#include "convert/OutputConfiguration.h"
#include "convert/OutputNames.h"
#include "convert/PacketCopy.h"
#include "platform/FileHelpers.h"
#include "platform/FileNames.h"
#include "platform/MulDiv.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "state/MainState.h"

namespace snipwave {

int StateJobObserver::ListRow(int row) const {
  return row >= 0 && row < static_cast<int>(listRows_.size()) ? listRows_[static_cast<std::size_t>(row)] : row;
}

void StateJobObserver::RowStatus(int row, const QString& status) {
  row = ListRow(row);
  before_.try_emplace(row, state_.lv->CellText(row, kStatusCell));
  state_.lv->SetCellText(row, kStatusCell, status);
}

void StateJobObserver::RowRestored(int row) {
  const auto before = before_.find(ListRow(row));
  if (before == before_.end()) return;  // the job never showed anything there
  state_.lv->SetCellText(before->first, kStatusCell, before->second);
  before_.erase(before);
}

void StateJobObserver::Progress(const JobProgress& p) {
  ShowProgress(state_, wholeJob_ ? detail::ProgressValue(p.jobDone, p.jobFrames)
                                 : detail::ProgressValue(p.rowDone, p.rowFrames));
}

void StateJobObserver::Message(const QString& text) { state_.Dialogs->ShowInformation(text); }

bool StateJobObserver::AskOverwrite(const QString& question) {
  // Enter must not replace it: No is the default button.
  return state_.Dialogs->AskYesNo(question, YesNoDefault::No);
}

namespace {

// The refusals, in this order: an add running (silent), an empty list
// (message), a preview (message), a job running (silent). True when refused.
bool RefuseJobStart(MainState& state) {
  if (state.Adding) return true;
  if (state.TrackCount <= 0) {
    state.Dialogs->ShowInformation(kPleaseAddFile);
    return true;
  }
  if (state.Playing) {
    state.Dialogs->ShowInformation(kPleaseStopPlaying);
    return true;
  }
  return state.Converting;
}

// [Format] "Dir" with the default output folder; an empty value (a hand-edited
// file) also means the default folder. `override` wins when not empty.
QString ReadOutputFolder(const MainState& state, const QString& override) {
  if (!override.isEmpty()) return override;
  const QString folder =
      state.SettingsFile->ReadString(settings::section::kFormat, settings::key::kDir, DefaultOutputFolder());
  return folder.isEmpty() ? DefaultOutputFolder() : folder;
}

bool ReadFlag(const MainState& state, std::optional<bool> option, std::string_view section, std::string_view key,
              bool byDefault) {
  if (option) return *option;
  return state.SettingsFile ? state.SettingsFile->ReadBool(section, key, byDefault) : byDefault;
}

int ReadJobs(const MainState& state, const JobOptions& options) {
  const int cores = std::max(1, QThread::idealThreadCount());
  const int jobs = options.jobs
                       ? *options.jobs
                       : state.SettingsFile->ReadInteger(settings::section::kFormat, settings::key::kJobs, cores);
  return jobs < 1 ? cores : jobs;
}

// Lends the state's own components to a job of one row at a time; the
// job's start has configured their writer and encoder.
RowComponentsFactory StateComponents(MainState& state) {
  return [&state] {
    const auto lend = [](auto* component) {
      return std::shared_ptr<std::remove_pointer_t<decltype(component)>>(component, [](auto*) {});
    };
    return RowComponents{lend(state.AudioFileRead), lend(state.AudioFileWrite), lend(state.AudioFileCheck),
                         lend(state.AudioFile2LameEnc), true};
  };
}

JobRow RowOf(const MainState& state, int row) {
  const Timerec& record = state.TrackTable[static_cast<std::size_t>(row)];
  JobRow job{record.FilePath, record.BeginSample, record.EndSample};
  job.title = record.Title;
  job.tags = record.Tags;
  job.track = row + 1;
  job.beginMs = record.TotalSamples > 0 ? MulDiv64(record.BeginSample, record.TotalMs, record.TotalSamples) : 0;
  return job;
}

std::vector<JobRow> RowsOf(const MainState& state) {
  std::vector<JobRow> rows;
  for (int row = 0; row < state.TrackCount; ++row) rows.push_back(RowOf(state, row));
  return rows;
}

// [Format] "NameTemplate"; a template that is not one is shown and refuses
// the cut (like a refused output configuration).
std::optional<NameTemplate> ReadNameTemplate(MainState& state, JobReport& report) {
  const QString text = state.SettingsFile->ReadString(settings::section::kFormat, settings::key::kNameTemplate, "");
  QString error;
  std::optional<NameTemplate> names = NameTemplate::Parse(text, &error);
  if (names) return names;
  state.Dialogs->ShowInformation(error);
  report.end = JobEnd::Refused;
  state.Converting = false;
  state.cm_Format->SetEnabled(true);
  return std::nullopt;
}

// [Level] as the job starts; a value that is none of its key's is shown and
// refuses the job (like a refused output configuration).
std::optional<level::LevelChoices> ReadLevels(MainState& state, JobReport& report) {
  QString error;
  std::optional<level::LevelChoices> levels = ReadLevelChoices(*state.SettingsFile, error);
  if (levels) return levels;
  state.Dialogs->ShowInformation(error);
  report.end = JobEnd::Refused;
  state.Converting = false;
  state.cm_Format->SetEnabled(true);
  return std::nullopt;
}

// The choices every job keeps from its start, read now.
JobChoices ChoicesOf(const MainState& state, const JobOptions& options, const OutputConfiguration& output) {
  JobChoices choices;
  choices.output = output;
  choices.keepTags = ReadFlag(state, options.keepTags, settings::section::kFormat, settings::key::kKeepTags, true);
  choices.keepMp3Frames =
      output.type == OutputType::Mp3 && state.AudioFile2LameEnc &&
      ReadFlag(state, options.keepMp3Frames, settings::section::kMp3, settings::key::kLossless, false);
  choices.keepPackets =
      !PacketCopySection(output.type).empty() &&
      ReadFlag(state, options.keepPackets, PacketCopySection(output.type), settings::key::kLossless, false);
  choices.replayGain =
      ReadFlag(state, options.replayGain, settings::section::kLevel, settings::key::kReplayGain, false);
  choices.tagWriter = options.tagWriter;
  return choices;
}

// The output configuration of the type chosen in `cm_Format`, applied to the
// window's writer and encoder (called with `Converting` set and the format
// list disabled). On refusal: the message shown, `Converting` cleared, the
// list enabled, the report Refused with the values behind the refusal.
std::optional<OutputConfiguration> ConfigureOutput(MainState& state, JobReport& report, OutputUse use) {
  const std::optional<OutputType> type = OutputTypeFromIndex(state.cm_Format->ItemIndex());
  const OutputSetup setup =
      type ? ApplyOutputSettings(*type, *state.SettingsFile, *state.AudioFileWrite, *state.AudioFile2LameEnc, use)
           : OutputSetup::Refused(kUnknownOutputType);
  if (!setup.refused()) return setup.configuration;
  state.Dialogs->ShowInformation(setup.refusal);
  report.refusedSettings = RefusedValuesText(setup, *state.SettingsFile);
  report.end = JobEnd::Refused;
  state.Converting = false;
  state.cm_Format->SetEnabled(true);
  return std::nullopt;
}

// Undoes a start that failed before the job ran; the failure goes on to the
// application's hook.
template <typename Start>
auto Guarded(MainState& state, Start start) {
  try {
    return start();
  } catch (...) {
    if (state.Converting) {
      ShowProgress(state, 0);
      state.Converting = false;
      state.cm_Format->SetEnabled(true);
    }
    throw;
  }
}

// A job's reports as the window shows them, each followed by the caller's hook.
class CountingObserver final : public IJobObserver {
 public:
  CountingObserver(IJobObserver& inner, const std::function<void(int)>& after) : inner_(inner), after_(after) {}
  void RowStatus(int row, const QString& status) override { Then([&] { inner_.RowStatus(row, status); }); }
  void RowRestored(int row) override { Then([&] { inner_.RowRestored(row); }); }
  void Progress(const JobProgress& progress) override { Then([&] { inner_.Progress(progress); }); }
  void Message(const QString& text) override { Then([&] { inner_.Message(text); }); }
  bool AskOverwrite(const QString& question) override { return inner_.AskOverwrite(question); }

 private:
  template <typename F>
  void Then(F report) {
    report();
    if (after_) after_(++count_);
  }
  IJobObserver& inner_;
  const std::function<void(int)>& after_;
  int count_ = 0;
};

}  // namespace

std::optional<WindowCut> PrepareCut(MainState& state, const JobOptions& options, JobReport& report) {
  if (RefuseJobStart(state)) return std::nullopt;
  std::vector<int> listRows;
  if (options.rows) {
    for (int row : *options.rows)
      if (row >= 0 && row < state.TrackCount) listRows.push_back(row);
    if (listRows.empty()) {
      state.Dialogs->ShowInformation(kPleaseSelectRows);
      report.end = JobEnd::Refused;
      return std::nullopt;
    }
  } else {
    for (int row = 0; row < state.TrackCount; ++row) listRows.push_back(row);
  }
  return Guarded(state, [&]() -> std::optional<WindowCut> {
    state.Converting = true;
    state.cm_Format->SetEnabled(false);
    const std::optional<OutputConfiguration> output = ConfigureOutput(state, report, OutputUse::Cut);
    if (!output) return std::nullopt;
    const std::optional<NameTemplate> names = ReadNameTemplate(state, report);
    if (!names) return std::nullopt;
    const std::optional<level::LevelChoices> levels = ReadLevels(state, report);
    if (!levels) return std::nullopt;
    detail::CloseIfOpen(state.AudioFileWrite);
    ShowProgress(state, 0);
    // The folder is created one level deep when missing; a failure shows
    // when a file is created in it.
    QString folder = ReadOutputFolder(state, options.outputFolder);
    if (!FolderExists(folder)) CreateFolderOneLevel(folder);
    folder = WithTrailingSeparator(folder);
    state.OutputFolder = folder;

    WindowCut cut;
    for (int row : listRows) cut.request.rows.push_back(RowOf(state, row));
    cut.listRows = listRows;
    cut.request.choices = ChoicesOf(state, options, *output);
    cut.request.choices.names = *names;
    cut.request.choices.level = *levels;
    cut.request.outputFolder = folder;
    cut.components = options.components ? options.components : StateComponents(state);
    const int rows = static_cast<int>(listRows.size());
    cut.request.jobs = options.components ? std::min(ReadJobs(state, options), rows) : 1;
    return cut;
  });
}

std::optional<WindowJoin> PrepareJoin(MainState& state, const JobOptions& options, JobReport& report) {
  if (RefuseJobStart(state)) return std::nullopt;
  state.OutputFolder = ReadOutputFolder(state, options.outputFolder);
  if (!FolderExists(state.OutputFolder)) CreateFolderOneLevel(state.OutputFolder);

  const std::optional<OutputType> type = OutputTypeFromIndex(state.cm_Format->ItemIndex());
  const QString chosen =
      state.Dialogs->GetSaveFileName(state.OutputFolder, type ? SaveFilterFor(*type) : FileFilter{});
  if (chosen.isEmpty()) {
    report.end = JobEnd::Cancelled;
    return std::nullopt;
  }
  return Guarded(state, [&]() -> std::optional<WindowJoin> {
    state.cm_Format->SetEnabled(false);
    state.Converting = true;
    ShowProgress(state, 0);
    const std::optional<OutputConfiguration> output = ConfigureOutput(state, report, OutputUse::Join);
    if (!output) return std::nullopt;
    const std::optional<level::LevelChoices> levels = ReadLevels(state, report);
    if (!levels) return std::nullopt;
    detail::CloseIfOpen(state.AudioFileWrite);

    WindowJoin join;
    join.request.rows = RowsOf(state);
    join.request.outputPath = JoinOutputPath(chosen, output->extension);
    StateJobObserver asking(state, true);
    const JoinTarget target = CheckJoinTarget(join.request.rows, join.request.outputPath, asking);
    if (target == JoinTarget::Refused || target == JoinTarget::Cancelled) {
      state.Converting = false;
      state.cm_Format->SetEnabled(true);
      report.end = target == JoinTarget::Refused ? JobEnd::Refused : JobEnd::Cancelled;
      return std::nullopt;
    }
    join.request.replacing = target == JoinTarget::Replace;
    join.request.choices = ChoicesOf(state, options, *output);
    join.request.choices.level = *levels;
    join.components = options.components ? options.components : StateComponents(state);
    join.folderToOpen = FolderOf(chosen);
    return join;
  });
}

void EndJob(MainState& state, JobReport& report, const QString& folderToOpen) {
  if (report.end == JobEnd::Failed) state.Dialogs->ShowInformation(report.failure);
  ShowProgress(state, 0);
  state.Converting = false;
  state.cm_Format->SetEnabled(true);
  // After a failure the job's output folder is opened, whatever the job.
  const QString folder = report.end == JobEnd::Failed ? state.OutputFolder : folderToOpen;
  if (!state.Launcher->OpenFolder(folder))
    report.folderNotOpened = "The folder " + QDir::toNativeSeparators(folder) +
                             " could not be opened: the desktop has no program that opens folders, or it refused.";
  for (const QString& message : report.cleanupFailures) state.Dialogs->ShowInformation(message);
}

void Cut(MainState& state, const JobOptions& options) {
  JobReport scratch;
  JobReport& report = options.report ? *options.report : scratch;
  std::optional<WindowCut> cut = PrepareCut(state, options, report);
  if (!cut) return;
  StateJobObserver shown(state, false, cut->listRows);
  CountingObserver observer(shown, options.afterReport);
  report = RunCut(cut->request, cut->components, observer, options.stop.get_token());
  EndJob(state, report, state.OutputFolder);
}

void Join(MainState& state, const JobOptions& options) {
  JobReport scratch;
  JobReport& report = options.report ? *options.report : scratch;
  std::optional<WindowJoin> join = PrepareJoin(state, options, report);
  if (!join) return;
  StateJobObserver shown(state, true);
  CountingObserver observer(shown, options.afterReport);
  RowComponents set = join->components();
  report = RunJoin(join->request, set, observer, options.stop.get_token());
  EndJob(state, report, join->folderToOpen);
}

}  // namespace snipwave
