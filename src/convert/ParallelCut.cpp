#include "convert/ParallelCut.h"

#include <QSet>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>

#include "components/audio/AudioInterfaces.h"
#include "convert/OutputCheck.h"
#include "convert/OutputConfiguration.h"
#include "convert/OutputNames.h"
#include "convert/OutputTags.h"
#include "platform/Error.h"
#include "platform/FileHelpers.h"
#include "platform/FileNames.h"
#include "platform/PendingOutputFile.h"
#include "state/MainState.h"

namespace snipwave {

RowProgress::RowProgress(int rows)
    : rows_(std::max(rows, 0)),
      frames_(new std::atomic<std::int64_t>[static_cast<std::size_t>(rows_)]()),
      finished_(new std::atomic<bool>[static_cast<std::size_t>(rows_)]()) {}

void RowProgress::Set(int row, std::int64_t frames) {
  if (row >= 0 && row < rows_) frames_[static_cast<std::size_t>(row)].store(frames, std::memory_order_relaxed);
}

std::int64_t RowProgress::Frames(int row) const {
  if (row < 0 || row >= rows_) return 0;
  return frames_[static_cast<std::size_t>(row)].load(std::memory_order_relaxed);
}

void RowProgress::Finish(int row) {
  if (row >= 0 && row < rows_) finished_[static_cast<std::size_t>(row)].store(true, std::memory_order_relaxed);
}

bool RowProgress::Finished(int row) const {
  return row >= 0 && row < rows_ && finished_[static_cast<std::size_t>(row)].load(std::memory_order_relaxed);
}

namespace {

constexpr const char* kCutting = "Cutting";
constexpr const char* kFinish = "Finish";
constexpr auto kPumpEvery = std::chrono::milliseconds(50);

// What a serial cut decides for a row before it copies anything: the output
// name, or why the row is skipped.
struct RowPlan {
  QString outputPath;  // empty: skipped
  QString skipMessage;
};

// The names a serial cut would give, in row order: a row whose source is gone
// or for which no name is free takes none, so the next row gets what it would
// get after such a row in a serial cut.
std::vector<RowPlan> PlanRows(const MainState& state, int rows, const QString& folder, const QString& extension) {
  std::vector<RowPlan> plans(static_cast<std::size_t>(rows));
  QSet<QString> reserved;
  for (int row = 0; row < rows; ++row) {
    const QString& source = state.TrackTable[static_cast<std::size_t>(row)].FilePath;
    RowPlan& plan = plans[static_cast<std::size_t>(row)];
    if (!FileExists(source)) {
      plan.skipMessage = detail::MissingSourceMessage(source);
    } else if (const std::optional<QString> path = FreeCutOutputPath(folder, source, extension, reserved)) {
      plan.outputPath = *path;
      reserved.insert(*path);
    } else {
      plan.skipMessage = NoFreeCutNameMessage(source);
    }
  }
  return plans;
}

// What a row's thread did, for the job's thread to finish in row order.
struct RowOutcome {
  bool finished = false;
  QString goneMessage;               // the source went away after the plan
  std::exception_ptr failure;        // leaves the job; nothing of the row is kept
  std::exception_ptr sourceFailure;  // the source failed while read; what was read is kept
  std::unique_ptr<PendingOutputFile> output;
  std::int64_t done = 0, count = 0, damaged = 0;
  unsigned rate = 0;
  bool stopped = false;  // the copy ended at a stop, before the range did
  QStringList tagFailures;
  std::optional<QString> checkFailure;
  RowComponents* components = nullptr;  // after a failure: whose reader and writer it left
};

// The rows' threads. Rows are taken in list order, so every row before one
// being copied has been taken too.
class RowThreads {
 public:
  RowThreads(MainState& state, const JobOptions& options, std::vector<RowComponents>& components,
             std::vector<RowPlan> plans, bool keepTags, RowProgress* progress)
      : state_(state), options_(options), plans_(std::move(plans)), keepTags_(keepTags), progress_(progress),
        outcomes_(plans_.size()), lastNeeded_(static_cast<int>(plans_.size()) - 1) {
    for (int row = 0; row < static_cast<int>(plans_.size()); ++row)
      records_.push_back(state.TrackTable[static_cast<std::size_t>(row)]);
    try {
      for (RowComponents& set : components) threads_.emplace_back([this, &set] { Work(set); });
    } catch (...) {
      DropAllAndJoin();  // no more threads to be had: the ones started end first
      throw;
    }
  }

  // Drops every row not finished by the job's thread (their temporary files
  // go with them) and waits for the threads.
  ~RowThreads() { DropAllAndJoin(); }

  RowThreads(const RowThreads&) = delete;
  RowThreads& operator=(const RowThreads&) = delete;

  const RowPlan& Plan(int row) const { return plans_[static_cast<std::size_t>(row)]; }

  // The row's outcome once its thread is done with it, letting messages
  // through meanwhile; nullptr for a row a stop kept from starting.
  RowOutcome* Wait(int row) {
    RowOutcome& outcome = outcomes_[static_cast<std::size_t>(row)];
    std::unique_lock lock(mutex_);
    const auto settled = [&] { return outcome.finished || (!taking_ && row >= next_); };
    for (;;) {
      lock.unlock();
      state_.MessagePump->ProcessPendingMessages();
      if (!state_.Converting) Stop();
      lock.lock();
      if (changed_.wait_for(lock, kPumpEvery, settled)) break;
    }
    return outcome.finished ? &outcome : nullptr;
  }

 private:
  // Starts no further row; rows being copied end after their current chunk.
  void Stop() {
    {
      const std::lock_guard lock(mutex_);
      taking_ = false;
    }
    stop_.store(true);
    changed_.notify_all();
  }

  bool Dropped(int row) const { return row > lastNeeded_.load(); }

  void DropAllAndJoin() {
    {
      const std::lock_guard lock(mutex_);
      taking_ = false;
    }
    lastNeeded_.store(-1);
    for (std::thread& thread : threads_) thread.join();
  }

  void Work(RowComponents& set) {
    for (;;) {
      int row = 0;
      {
        const std::lock_guard lock(mutex_);
        if (!taking_ || next_ >= static_cast<int>(plans_.size()) || Dropped(next_)) return;
        row = next_++;
      }
      RowOutcome outcome = CutRow(row, set);
      if (progress_ && outcome.output) progress_->Finish(row);
      const bool failed = outcome.failure || outcome.sourceFailure;
      if (failed) {
        // A serial cut ends at this row: later rows are of no use.
        outcome.components = &set;
        int last = lastNeeded_.load();
        while (row < last && !lastNeeded_.compare_exchange_weak(last, row)) {
        }
      }
      {
        const std::lock_guard lock(mutex_);
        outcome.finished = true;
        outcomes_[static_cast<std::size_t>(row)] = std::move(outcome);
      }
      changed_.notify_all();
      // The reader and writer stay as the failure left them, for the clean-up.
      if (failed) return;
    }
  }

  RowOutcome CutRow(int row, RowComponents& set) {
    RowOutcome o;
    const RowPlan& plan = Plan(row);
    if (plan.outputPath.isEmpty()) return o;  // the job's thread says why
    const Timerec& record = records_[static_cast<std::size_t>(row)];
    if (!FileExists(record.FilePath)) {
      o.goneMessage = detail::MissingSourceMessage(record.FilePath);
      return o;
    }
    IAudioFile2& reader = *set.reader;
    IAudioFile2& writer = *set.writer;
    try {
      detail::CloseIfOpen(&reader);
      reader.OpenFile(SystemPath(record.FilePath), 0, 1);
      reader.SeekSample(record.BeginSample, 3);
      o.count = record.EndSample - record.BeginSample;
      o.rate = reader.SampleRate();
      detail::CloseIfOpen(&writer);
      detail::SetWriterFormatOf(writer, record.FilePath, static_cast<int>(o.rate), reader.Channels());
      // Written under a temporary name; the job's thread names it when it is its turn.
      o.output = std::make_unique<PendingOutputFile>(plan.outputPath);
      try {
        writer.CreateOutputFile(SystemPath(o.output->TemporaryPath()), 0);
        o.done = Copy(row, reader, writer, o);
        if (!o.sourceFailure) {
          o.damaged = reader.DamagedFrames();
          detail::CloseIfOpen(&reader);
        }
        detail::CloseIfOpen(&writer);
      } catch (...) {
        detail::RethrowNamingFinalPath(o.output->TemporaryPath(), o.output->FinalPath());
      }
    } catch (...) {
      o.failure = std::current_exception();
      o.output.reset();  // a failed write leaves no file behind
      return o;
    }
    if (Dropped(row)) return o;
    if (keepTags_) {
      JobReport tagged;
      detail::TagOutput(options_, o.output->TemporaryPath(), plan.outputPath, detail::SourceTags(record.FilePath),
                        tagged);
      o.tagFailures = tagged.tagFailures;
    }
    if (set.checker)
      o.checkFailure = detail::CheckOutputLength(*set.checker, o.output->TemporaryPath(), plan.outputPath, o.done, o.rate);
    return o;
  }

  // The serial cut's copy: the same chunks, so every output gets the same
  // bytes; a stop or a drop ends it between chunks.
  std::int64_t Copy(int row, IAudioFile2& reader, IAudioFile2& writer, RowOutcome& o) {
    const int channels = reader.Channels();
    const int rate = static_cast<int>(reader.SampleRate());
    const int frameSize = std::max(1, reader.FrameSize() > 0 ? reader.FrameSize() : channels);
    std::int64_t done = 0;
    std::int64_t chunk = std::int64_t(rate) * channels;
    while (done < o.count) {
      if (stop_.load() || Dropped(row)) {
        o.stopped = true;
        return done;
      }
      chunk = std::min(chunk, o.count - done);
      SampleBuffer buffer;
      try {
        buffer = reader.ReadSamples(static_cast<int>(chunk));
      } catch (...) {
        o.sourceFailure = std::current_exception();
        return done;
      }
      if (buffer.empty()) return done;  // the source ended before the range did
      writer.SetPcmFormat(rate, channels);
      writer.WriteSamples(buffer);
      done = std::min<std::int64_t>(done + static_cast<std::int64_t>(buffer.size()) / frameSize, o.count);
      if (progress_) progress_->Set(row, done);
    }
    return done;
  }

  MainState& state_;
  const JobOptions& options_;
  const std::vector<RowPlan> plans_;
  const bool keepTags_;
  RowProgress* const progress_;
  std::vector<Timerec> records_;  // the rows' own copies, read by their threads

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<RowOutcome> outcomes_;  // a row's entry belongs to its thread until `finished`
  int next_ = 0;                      // the next row to take
  bool taking_ = true;                // false: no further row starts
  std::atomic<bool> stop_{false};
  std::atomic<int> lastNeeded_;  // rows after it are dropped (a failure ends the job there)
  std::vector<std::thread> threads_;
};

// A failed row's reader and writer become the ones the clean-up closes.
[[noreturn]] void LeaveAtFailure(MainState& state, const RowOutcome& outcome, const std::exception_ptr& failure) {
  state.AudioFileRead = outcome.components->reader.get();
  state.AudioFileWrite = outcome.components->writer.get();
  std::rethrow_exception(failure);
}

}  // namespace

void CutInParallel(MainState& state, const JobOptions& options, std::vector<RowComponents>& components,
                   RowProgress* progress) {
  if (components.empty()) throw Error("A parallel cut needs at least one reader and writer.");
  if (detail::RefuseJobStart(state)) return;
  JobReport scratch;
  JobReport& report = options.report ? *options.report : scratch;

  const std::optional<QString> extension = detail::StartCutJob(state, report);
  if (!extension) return;
  // The settings were just accepted; every thread's writer gets the same.
  const OutputType type = *OutputTypeFromIndex(state.cm_Format->ItemIndex());
  for (RowComponents& set : components) {
    const OutputSetup setup = ApplyOutputSettings(type, *state.SettingsFile, *set.writer, *set.encoder);
    if (setup.refused()) throw Error(setup.refusal.toStdString());
  }
  detail::CloseIfOpen(state.AudioFileWrite);
  ShowProgress(state, 0);

  const QString folder = detail::PrepareCutFolder(state, options.outputFolder);

  const bool keepTags = detail::KeepTags(state, options);
  const int rows = state.TrackCount;
  RowThreads threads(state, options, components, PlanRows(state, rows, folder, *extension), keepTags, progress);
  for (int row = 0; row < rows; ++row) {
    RowOutcome* outcome = threads.Wait(row);
    if (!outcome) break;  // a stop came before the row started
    const Timerec& record = state.TrackTable[static_cast<std::size_t>(row)];
    const RowPlan& plan = threads.Plan(row);
    if (plan.outputPath.isEmpty() || !outcome->goneMessage.isEmpty()) {
      state.Dialogs->ShowInformation(plan.outputPath.isEmpty() ? plan.skipMessage : outcome->goneMessage);
      report.skippedSources << record.FilePath;
      continue;
    }
    state.lv->SetCellText(row, kStatusCell, kCutting);
    if (outcome->failure) LeaveAtFailure(state, *outcome, outcome->failure);
    if (outcome->damaged > 0) report.damagedSources.append({record.FilePath, outcome->damaged});
    report.tagFailures << outcome->tagFailures;
    PendingOutputFile& output = *outcome->output;
    if (!CommitCutOutput(output, folder, record.FilePath, *extension)) {
      state.Dialogs->ShowInformation(NoFreeCutNameMessage(record.FilePath));
      report.skippedSources << record.FilePath;
      if (outcome->sourceFailure) LeaveAtFailure(state, *outcome, outcome->sourceFailure);
      continue;
    }
    report.writtenFiles << output.FinalPath();
    if (outcome->checkFailure) report.checkFailures << outcome->checkFailure->replace(plan.outputPath, output.FinalPath());
    // What was read from a failing source is kept, complete, as the row's
    // file; the job ends there, as a serial cut does.
    if (outcome->sourceFailure) LeaveAtFailure(state, *outcome, outcome->sourceFailure);
    const bool shortened = !outcome->stopped && outcome->done < outcome->count;
    state.lv->SetCellText(row, kStatusCell,
                          outcome->checkFailure ? kCheckFailedStatus : shortened ? kShortStatus : kFinish);
    if (shortened) {
      const QString message = detail::ShortReadMessage(record.FilePath, outcome->done, outcome->count, outcome->rate);
      report.shortReads << message;
      state.Dialogs->ShowInformation(message);
    }
  }
  report.end = state.Converting ? JobEnd::Completed : JobEnd::Aborted;
  report.folderNotOpened = detail::FinishJob(state, state.OutputFolder);
}

}  // namespace snipwave
