#pragma once

#include <cstdint>
#include <stop_token>

#include "convert/JobObserver.h"
#include "convert/JobRequest.h"
#include "convert/JobSupport.h"
#include "convert/RowCut.h"

namespace snipwave {

// The cut's and the join's use of the packet copy (PacketCopy.h), when the
// choices keep the frames of an OGG, OPUS, M4A or FLAC output.

// A cut's row: when the choices ask for the packet copy and the row allows
// it, copies the row's packets into the temporary file of `o.output` and
// returns true, with `o.done` (reader frames) and `o.stopped` set, the reader
// closed and the share of packets copied among the row's notes. False when
// the row is to be re-encoded; the notes then say why (unless the choice is
// off or the output type has no packet copy). `reader` is open on the row's
// source. A failing write throws naming the final path.
bool CutRowByPackets(const JobRow& row, const JobChoices& choices, IAudioFile2& reader, const RowControl& control,
                     RowOutcome& o);

// What a join by packet copy wrote.
struct PacketJoinResult {
  std::int64_t written = 0;  // frames of the output, at `rate`
  unsigned rate = 0;         // the output's sample rate
  int rowsDone = 0;          // rows whose status became "Finish"
};

// A join: when the choices ask for the packet copy, copies the rows' packets
// in order into `temporaryPath`; a row whose packets do not fit the output
// (another codec, setup, rate or channel count) is re-encoded on its own by
// the set's writer (configured for the output) into a temporary file of the
// output's format, whose packets are then copied whole; the report's notes
// name each such row and the share of packets copied. `outputRate` and
// `outputChannels` are the join's stream (the first row's), `output` the
// configuration the set's writer has for it (with the frames kept, a FLAC
// output has its sources' depth, KeptDepth.h). Returns false,
// having written nothing to `temporaryPath`, when the join is to be
// re-encoded as a whole (the notes say why unless the choice is off).
// Reports rows' statuses and the progress as the join does; a stop ends
// the copy where it is. A failing write throws.
bool JoinByPackets(const JoinRequest& request, const OutputConfiguration& output, RowComponents& set,
                   IJobObserver& observer, const std::stop_token& stop, JobReport& report, const QString& temporaryPath,
                   unsigned outputRate, int outputChannels, PacketJoinResult& result);

}  // namespace snipwave
