#pragma once

#include <QString>
#include <functional>
#include <map>
#include <optional>
#include <stop_token>
#include <vector>

#include "convert/CutJob.h"
#include "convert/JoinJob.h"

namespace snipwave {

struct MainState;

// What a caller may fix for a job instead of the settings file.
struct JobOptions {
  // The output folder (cut) or the folder to create and start the save dialog
  // in (join). Empty: [Format] "Dir" of the settings file, read afresh.
  QString outputFolder;
  JobReport* report = nullptr;  // optional: receives the job's report
  // Unset: [Format] "KeepTags" (default on).
  std::optional<bool> keepTags;
  ITagWriter* tagWriter = nullptr;  // unset: the TagLib writer
  // Unset: [mp3] "lossless" (default off).
  std::optional<bool> keepMp3Frames;
  // OGG, OPUS, M4A and FLAC outputs: copy the packets of sources of their
  // own codec; FLAC and ALAC outputs: keep their sources' depth. Unset:
  // "lossless" of the output format's section (default off).
  std::optional<bool> keepPackets;
  // Unset: [Level] "ReplayGain" (default off).
  std::optional<bool> replayGain;
  // Rows cut at once. Unset: [Format] "Jobs" (default: the processor cores).
  std::optional<int> jobs;
  // The list rows a cut takes, in list order. Unset: every row.
  std::optional<std::vector<int>> rows;
  // Makes each worker's reader, writer, checker and encoder. Unset: the
  // state's own components, for one row at a time.
  RowComponentsFactory components;
  // Stops the job as the stop command does (for a job run on this thread).
  std::stop_source stop;
  // Called after each report of a job run on this thread, with its number
  // (1, 2, ...), once the window shows it.
  std::function<void(int report)> afterReport;
};

// Messages of the refusals that both jobs share.
inline constexpr const char* kPleaseAddFile = "Please add file!";
inline constexpr const char* kPleaseStopPlaying = "Please stop playing first.";
inline constexpr const char* kPleaseSelectRows = "Please select the rows to cut.";

// What the window shows of a running job: the rows' status cells, the
// progress display (a cut shows its row's share, a join the whole job's) and
// the messages, through the dialog service. Each row's status text from
// before the job is kept for RowRestored.
class StateJobObserver final : public IJobObserver {
 public:
  // `listRows[i]` is the list row of the job's row i; empty: the same row.
  StateJobObserver(MainState& state, bool wholeJobProgress, std::vector<int> listRows = {})
      : state_(state), wholeJob_(wholeJobProgress), listRows_(std::move(listRows)) {}
  void RowStatus(int row, const QString& status) override;
  void RowRestored(int row) override;
  void Progress(const JobProgress& progress) override;
  void Message(const QString& text) override;
  bool AskOverwrite(const QString& question) override;

 private:
  int ListRow(int row) const;

  MainState& state_;
  bool wholeJob_;
  std::vector<int> listRows_;
  std::map<int, QString> before_;  // list row -> its status text before the job
};

// A job the window has set up: `Converting` set, the format list disabled,
// the progress display at 0; everything the job needs captured.
struct WindowCut {
  CutRequest request;
  RowComponentsFactory components;
  std::vector<int> listRows;  // the list row of each of the request's rows
};
struct WindowJoin {
  JoinRequest request;
  RowComponentsFactory components;
  QString folderToOpen;  // the folder of the chosen name
};

// The window's start of a cut: the refusals (an add running: silent; an
// empty list; a preview; a job running: silent; for chosen rows: none
// chosen), then the output configuration and the name template (a refusal
// is shown and ends it) and the output folder.
// Nothing when it does not start; `report.end` then says why.
std::optional<WindowCut> PrepareCut(MainState& state, const JobOptions& options, JobReport& report);
// The join's start: the refusals, the save dialog, the output configuration
// and the check of the chosen name (with the overwrite question).
std::optional<WindowJoin> PrepareJoin(MainState& state, const JobOptions& options, JobReport& report);

// The window's end of every job, however it ended: a failure's message
// first, then progress 0, `Converting` cleared, the format list enabled, the
// folder opened (`folderToOpen`, or after a failure `OutputFolder`; a
// desktop that cannot is noted in the report), then what failed again while
// closing.
void EndJob(MainState& state, JobReport& report, const QString& folderToOpen);

// The cut and the join from start to end on this thread (the command-line
// style of the window's jobs, for scripts and tests): the same start, engine
// and end as the window's, the reports shown as they come.
void Cut(MainState& state, const JobOptions& options = {});
void Join(MainState& state, const JobOptions& options = {});

}  // namespace snipwave
