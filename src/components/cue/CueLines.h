#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

namespace snipwave {

// One TRACK of a sheet as its own lines give it.
struct CueLineTrack {
  int line = 0;             // its TRACK line, from 1
  QString mode;             // upper case: "AUDIO", or a data mode as written ("MODE1/2352", "CDI/2352", "CDG")
  QString file;             // the FILE in effect at its INDEX 01, as the sheet writes it
  int fileLine = 0;         // that FILE's line: every FILE line starts a file of its own, even one named before
  std::int64_t start = -1;  // its INDEX 01 in CD frames (1/75 s)
  bool audio() const { return mode == QLatin1String("AUDIO"); }
};

struct CueLines {
  std::vector<CueLineTrack> tracks;  // every TRACK in order, data tracks too
  // The sheet for libcue, UTF-8 and NUL-terminated: line for line the same
  // (so libcue's line numbers stay the sheet's), each line libcue takes in
  // the one form it reads whole (keywords upper case, texts quoted, inner
  // quotation marks as apostrophes, data modes it does not know as
  // MODE1/2352, a final line end) and every line it has no use for empty.
  QByteArray forLibcue;
};

// The sheet's TRACK, INDEX and FILE lines read one line at a time, the way
// libcue will be checked against: libcue lets a quotation mark run on over
// line ends, stops counting at 99 tracks and skips what it cannot read with
// no more than a line on stderr, so what it gives is compared with this.
// Keywords are taken in any case. Throws Error "line N: why" for a line that
// cannot be read (an unknown command, a TRACK or INDEX not of its form, an
// unclosed quotation mark in a text, more than 99 tracks, a FILE without a
// TRACK), and for a track without INDEX 01 or a sheet without TRACK.
CueLines ReadCueLines(const QString& text);

}  // namespace snipwave
