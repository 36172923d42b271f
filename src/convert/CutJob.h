#pragma once

#include <stop_token>

#include "convert/JobObserver.h"
#include "convert/JobRequest.h"
#include "convert/JobSupport.h"

namespace snipwave {

// The cut: every row's range [begin, end) of its source, in list order, into
// a file of its own, "Cut_<name>" (or "Cut(k)_<name>") in the output folder
// (created one level deep when missing). Names are given in row order before
// any row is read.
//
// Runs on the calling thread, with `request.jobs` component sets made by
// `makeSet` (at most one per row): one set cuts the rows one after the other
// on this thread; more cut that many rows at once on threads of their own.
// Either way the observer hears, on this thread and in row order, what one
// row at a time gives: the row's "Cutting" and its progress (source frames of
// the row, chunk by chunk), its outcome ("Finish", "Short", "Check failed")
// and its messages. Outputs are written under temporary names and named when
// complete.
//
// A stop starts no further row; the row being cut (with several at once: the
// lowest one not done when the stop came) ends after its current chunk and is
// kept, complete, under its name, with "Finish". Rows after it that were cut
// at once are dropped: no file of theirs is left and their status is never
// touched. A component failure ends the job at its row, as one row at a time
// would: the report says why (`Failed`), the rows after it are dropped, and
// every reader and writer is closed. The failing row is "Short" when what its
// source gave before failing was kept, else it is restored (RowRestored).
JobReport RunCut(const CutRequest& request, const RowComponentsFactory& makeSet, IJobObserver& observer,
                 std::stop_token stop = {});

// Status texts of a cut's rows.
inline constexpr const char* kCuttingStatus = "Cutting";
inline constexpr const char* kFinishStatus = "Finish";

}  // namespace snipwave
