#pragma once

#include <QString>
#include <QStringList>

#include "convert/JobRequest.h"

namespace snipwave {

// With the frames kept ("Keep the frames", --lossless), a lossless output
// (FLAC, ALAC) takes the depth of its source, whatever [flac] or [alac]
// "bit" says: keeping the frames promises nothing of the source is lost,
// and a copied FLAC frame has its source's depth anyway. Rate and channels
// follow the source already.

// True when the choices keep the frames and the output is FLAC or ALAC.
bool KeepsSourceDepth(const JobChoices& choices);

// The choices for sources of `sourceBits` bits per sample (a join: the
// widest of its sources; 0: none is lossless, the configured depth stays):
// their output's FLAC or ALAC bits the narrowest the writer has (16 or 24)
// that holds them. Unchanged unless KeepsSourceDepth. A source wider than
// any depth the writer has gets 24 bits and a note among `notes` naming
// `source`.
JobChoices WithSourceDepth(const JobChoices& choices, int sourceBits, const QString& source, QStringList& notes);

// Sets `writer` to the FLAC or ALAC format of `output` (its bits included).
void ApplyLosslessFormat(IAudioFile2& writer, const OutputConfiguration& output);

}  // namespace snipwave
