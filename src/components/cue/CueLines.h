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
  // The sheet for libcue, UTF-8: one line here for each line of the sheet,
  // the lines libcue is asked for (TITLE, PERFORMER, REM DATE, FILE, TRACK,
  // INDEX) in the one form it reads whole (keywords in upper case, texts
  // quoted with any inner quotation mark as an apostrophe, every data mode as
  // MODE1/2352, a FILE named by its line number), every other line empty,
  // and a line end after the last.
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
