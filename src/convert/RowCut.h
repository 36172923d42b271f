#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "components/loudness/LoudnessMeter.h"
#include "convert/JobRequest.h"

namespace snipwave {

class PendingOutputFile;

// What a cut decides for a row before it reads anything: the output name, or
// why the row is skipped (its source is gone, no free name is left).
struct RowPlan {
  QString outputPath;  // empty: skipped
  QString skipMessage;
  QString plainName;   // the name before any "Cut(k)_": what a clash numbers
};

// The row's output file name before clashes: "Cut_<source name>" with
// `extension` for the default template, else the template's expansion.
QString PlainCutName(const JobRow& row, const QString& extension, const NameTemplate& names);

// The names one row at a time would give, in row order: a row whose source is
// gone or for which no name is free takes none, so the next row gets what it
// would get after such a row.
std::vector<RowPlan> PlanCutRows(const std::vector<JobRow>& rows, const QString& folder, const QString& extension,
                                 const NameTemplate& names = {});

// The tags a row's output gets: the row's own when it has any, else the
// source's (when `keepTags`); the row's title as the title; the track number
// when `withTrack`.
TagSet OutputTagsOf(const JobRow& row, bool keepTags, bool withTrack);

// How a row's cut talks to the job running it; any member may be empty.
struct RowControl {
  // The row passed its checks and its source is about to be opened.
  std::function<void()> started;
  // Source frames done so far; false stops the copy between chunks (the file
  // ends there, complete).
  std::function<bool(std::int64_t done)> keepGoing;
  // True when the job no longer needs the row (a row before it failed): its
  // output is dropped without being tagged or checked.
  std::function<bool()> abandoned;
};

// What cutting one row did. The output is still under its temporary name:
// the job names it when it is the row's turn.
struct RowOutcome {
  QString goneMessage;               // the source went away after the plan
  std::exception_ptr failure;        // leaves the job; nothing of the row is kept
  std::exception_ptr sourceFailure;  // the source failed while read; what was read is kept
  std::unique_ptr<PendingOutputFile> output;
  std::int64_t done = 0, count = 0, damaged = 0;  // source frames
  unsigned rate = 0;
  bool stopped = false;  // the copy ended at a stop, before the range did
  bool announced = false;  // `started` was called
  QString plannedPath;     // the name planned for the output
  QStringList frameCopyNotes;
  QStringList levelNotes;  // the row's gain, when it got one
  QStringList tagFailures;
  std::optional<QString> checkFailure;
  // With ReplayGain: the tags written and the output's measure, which the
  // job adds the album values to once every output is measured.
  TagSet tags;
  std::shared_ptr<loudness::LoudnessMeter> loudness;

  RowOutcome();
  ~RowOutcome();
  RowOutcome(RowOutcome&&) noexcept;
  RowOutcome& operator=(RowOutcome&&) noexcept;
};

// Cuts one row with one set of components: the one path of every cut, one
// row at a time or many at once. Re-encodes the range through the set's
// writer, or copies an MP3 source's frames when the choices keep them; tags
// and checks the output. Never throws: failures are in the outcome.
RowOutcome CutRow(const JobRow& row, const RowPlan& plan, const JobChoices& choices, RowComponents& set,
                  const RowControl& control);

}  // namespace snipwave
