#include "convert/CutJob.h"

#include <algorithm>
#include <exception>
#include <optional>

#include "components/audio/AudioInterfaces.h"
#include "convert/OutputCheck.h"
#include "convert/OutputNames.h"
#include "convert/OutputTags.h"
#include "convert/ReplayGain.h"
#include "convert/RowCut.h"
#include "convert/RowPool.h"
#include "platform/FileHelpers.h"
#include "platform/PendingOutputFile.h"

namespace snipwave {

namespace {

// Frames of every row, for the job's share done.
std::int64_t TotalFrames(const std::vector<JobRow>& rows) {
  std::int64_t total = 0;
  for (const JobRow& row : rows) total += row.Frames();
  return total;
}

// The one end of a row, in row order: the skip messages, the output named,
// the report, the status and the messages. Throws the row's failure after
// keeping what a failing source let it write.
class RowEnd {
 public:
  RowEnd(const CutRequest& request, const std::vector<RowPlan>& plans, IJobObserver& observer, JobReport& report)
      : request_(request), plans_(plans), observer_(observer), report_(report) {}

  // A failing row does not keep "Cutting": it is "Short" when what its
  // source gave before failing was kept under its name, else it shows again
  // what it showed before the job (nothing of it was kept).
  void Finish(int row, RowOutcome& outcome, std::int64_t jobDone, std::int64_t jobFrames) {
    try {
      End(row, outcome, jobDone, jobFrames);
    } catch (...) {
      if (outcome.output && outcome.output->Committed()) observer_.RowStatus(row, kShortStatus);
      else observer_.RowRestored(row);
      throw;
    }
  }

  // The album values over every output measured, added to each one's tags
  // (written again in full under its final name).
  void WriteAlbumGain() {
    if (album_.empty()) return;
    std::vector<const loudness::LoudnessMeter*> meters;
    for (const AlbumMember& member : album_) meters.push_back(member.loudness.get());
    const loudness::Loudness album = loudness::LoudnessMeter::Combined(meters);
    for (AlbumMember& member : album_) {
      detail::SetAlbumGain(member.tags.replayGain, album);
      detail::TagOutput(request_.choices.tagWriter, member.path, member.path, member.tags, report_);
    }
  }

 private:
  void End(int row, RowOutcome& outcome, std::int64_t jobDone, std::int64_t jobFrames) {
    const JobRow& source = request_.rows[static_cast<std::size_t>(row)];
    const RowPlan& plan = plans_[static_cast<std::size_t>(row)];
    if (plan.outputPath.isEmpty() || !outcome.goneMessage.isEmpty()) {
      observer_.Message(plan.outputPath.isEmpty() ? plan.skipMessage : outcome.goneMessage);
      report_.skippedSources << source.source;
      return;
    }
    for (const QString& note : outcome.frameCopyNotes)
      if (!report_.frameCopyNotes.contains(note)) report_.frameCopyNotes << note;
    if (outcome.failure) std::rethrow_exception(outcome.failure);
    if (outcome.damaged > 0) report_.damagedSources.append({source.source, outcome.damaged});
    report_.levelNotes << outcome.levelNotes;
    report_.tagFailures << outcome.tagFailures;
    PendingOutputFile& output = *outcome.output;
    if (!CommitCutOutput(output, request_.outputFolder, plan.plainName)) {
      observer_.Message(NoFreeNameMessage(source.source, plan.plainName));
      report_.skippedSources << source.source;
      if (outcome.sourceFailure) std::rethrow_exception(outcome.sourceFailure);
      return;
    }
    report_.writtenFiles << output.FinalPath();
    if (outcome.loudness) album_.push_back({output.FinalPath(), std::move(outcome.tags), std::move(outcome.loudness)});
    if (outcome.checkFailure)
      report_.checkFailures << outcome.checkFailure->replace(plan.outputPath, output.FinalPath());
    // What was read from a failing source is kept, complete, as the row's
    // file; the job ends there.
    if (outcome.sourceFailure) std::rethrow_exception(outcome.sourceFailure);
    observer_.Progress({row, outcome.count, outcome.count, jobDone, jobFrames});
    const bool shortened = !outcome.stopped && outcome.done < outcome.count;
    // A stopped row ends with "Finish" too: its file is complete and holds
    // the part of the range copied until the stop.
    observer_.RowStatus(row, outcome.checkFailure ? kCheckFailedStatus : shortened ? kShortStatus : kFinishStatus);
    if (shortened) {
      const QString message =
          detail::ShortReadMessage(source.source, source.begin, outcome.done, outcome.count, outcome.rate);
      report_.shortReads << message;
      observer_.Message(message);
    }
  }

  struct AlbumMember {
    QString path;
    TagSet tags;
    std::shared_ptr<loudness::LoudnessMeter> loudness;
  };
  std::vector<AlbumMember> album_;
  const CutRequest& request_;
  const std::vector<RowPlan>& plans_;
  IJobObserver& observer_;
  JobReport& report_;
};

}  // namespace

JobReport RunCut(const CutRequest& request, const RowComponentsFactory& makeSet, IJobObserver& observer,
                 std::stop_token stop) {
  JobReport report;
  std::vector<RowComponents> sets;
  const int rows = static_cast<int>(request.rows.size());
  detail::RunReportingFailure(report, "cut", [&] {
    if (!FolderExists(request.outputFolder)) CreateFolderOneLevel(request.outputFolder);
    const std::vector<RowPlan> plans =
        PlanCutRows(request.rows, request.outputFolder, request.choices.output.extension, request.choices.names);
    const int workers = std::clamp(request.jobs, 1, std::max(rows, 1));
    for (int i = 0; i < workers; ++i) {
      sets.push_back(makeSet());
      RowComponents& set = sets.back();
      if (set.encoder && !set.configured) ApplyOutputConfiguration(request.choices.output, *set.writer, *set.encoder);
    }
    const std::int64_t jobFrames = TotalFrames(request.rows);
    std::int64_t doneBefore = 0;  // frames of the rows already ended
    RowEnd rowEnd(request, plans, observer, report);
    std::optional<RowPool> pool;
    if (workers > 1) pool.emplace(request.rows, plans, request.choices, sets, stop);
    for (int row = 0; row < rows; ++row) {
      const JobRow& source = request.rows[static_cast<std::size_t>(row)];
      const std::int64_t count = source.Frames();
      observer.Progress({row, 0, count, doneBefore, jobFrames});
      RowOutcome here;
      RowOutcome* outcome = &here;
      if (pool) {
        // The row's "Cutting" comes when its turn has come and it has started,
        // before its progress, as one row at a time gives it.
        bool announced = false;
        const auto announce = [&](bool started) {
          if (announced || !started) return;
          observer.RowStatus(row, kCuttingStatus);
          announced = true;
        };
        outcome = pool->Wait(row, [&] {
          announce(pool->Started(row));
          std::int64_t done = 0;
          for (int r = row; r < rows; ++r) done += pool->Frames(r);
          observer.Progress({row, pool->Frames(row), count, doneBefore + done, jobFrames});
        });
        if (!outcome) break;  // a stop came before the row started
        announce(outcome->announced);
      } else {
        if (stop.stop_requested()) break;
        RowControl control;
        control.started = [&] { observer.RowStatus(row, kCuttingStatus); };
        control.keepGoing = [&](std::int64_t done) {
          observer.Progress({row, done, count, doneBefore + done, jobFrames});
          return !stop.stop_requested();
        };
        here = CutRow(source, plans[static_cast<std::size_t>(row)], request.choices, sets.front(), control);
      }
      doneBefore += count;
      rowEnd.Finish(row, *outcome, doneBefore, jobFrames);
    }
    rowEnd.WriteAlbumGain();
    report.end = stop.stop_requested() ? JobEnd::Aborted : JobEnd::Completed;
  });
  std::vector<IAudioFile2*> files;
  for (RowComponents& set : sets) files.insert(files.end(), {set.reader.get(), set.writer.get()});
  detail::CloseAfterJob(files, report);
  return report;
}

}  // namespace snipwave
