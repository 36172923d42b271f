#pragma once

#include <stop_token>

#include "convert/JobObserver.h"
#include "convert/JobRequest.h"
#include "convert/JobSupport.h"

namespace snipwave {

// What may happen to the join's output file, asked before the join starts.
enum class JoinTarget {
  Create,     // no file of that name: a new one
  Replace,    // an existing file the user agreed to replace (made writable)
  Refused,    // a folder or other non-file of that name, or one of the sources (a message said so)
  Cancelled,  // the user would not replace it
};

// The question asked before an existing output file is replaced.
inline constexpr const char* kOverwriteQuestion = "File has existed. Overwrite?";

// Checks `outputPath` against the rows' sources (by device and inode, so
// hard and symbolic links count) and asks `kOverwriteQuestion` through the
// observer when a file of that name exists.
JoinTarget CheckJoinTarget(const std::vector<JobRow>& rows, const QString& outputPath, IJobObserver& observer);

// The join: the ranges of all rows, in list order, one after the other into
// `request.outputPath`. Every source is converted to the sample rate and
// channel count of the first row's file; each row contributes exactly its
// range. Reads Channels x SampleRate output frames per chunk; progress counts
// the source frames of the whole job. A stop ends the join at the next chunk
// boundary with the output closed, valid and named. MP3 output of MP3
// sources keeps their frames when the choices say so and the sources allow.
//
// Runs on the calling thread with the one component set given; the observer
// hears each row's "Joining", the progress and its outcome. The output is
// written under a temporary name beside its final one, which it gets only
// when complete (an existing file is replaced only then). A component failure
// ends the join (`Failed`); what a failing source let it write is kept under
// the final name unless a file was to be replaced. No row stays "Joining"
// after a failure: the failing row is "Short" when part of it was kept, and
// when nothing is kept every row is restored (RowRestored).
JobReport RunJoin(const JoinRequest& request, RowComponents& set, IJobObserver& observer, std::stop_token stop = {});

inline constexpr const char* kJoiningStatus = "Joining";

}  // namespace snipwave
