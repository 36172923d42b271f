#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

#include "components/tags/TagSet.h"

namespace snipwave {

// One TRACK of a cue sheet, its times in CD frames (1/75 s) of its FILE.
struct CueTrack {
  int number = 0;          // TRACK nn
  QString file;            // the FILE it belongs to, as the sheet writes it
  std::int64_t start = 0;  // its INDEX 01
  // The next track's INDEX 01 under the same FILE line; -1: the track runs to
  // the file's end. An INDEX 00 (pregap) of the next track stays in this one.
  std::int64_t end = -1;
  // The end is a data track's start, which may lie past the end of the audio
  // file (a rip holds the audio only): the track ends at whichever is first.
  bool endAtMost = false;
  QString title;  // the track's TITLE; empty: none
  // Title, Artist (the track's PERFORMER, else the sheet's), Album (the
  // sheet's TITLE), AlbumArtist (the sheet's PERFORMER), Track, Date (REM
  // DATE) and Genre (REM GENRE).
  TagSet tags;
  bool operator==(const CueTrack&) const = default;
};

struct CueSheet {
  std::vector<CueTrack> tracks;  // its audio tracks, in its order
  QStringList notes;             // for the user: the data tracks left out
};

// The audio tracks of a sheet; its data tracks (MODE1/2352 and the like, as
// on an enhanced CD) are left out and named in the notes. Each FILE line
// starts a file of its own, also one naming a file named before. Throws
// Error with the reason: a line that cannot be read (see ReadCueLines), a
// sheet libcue refuses or does not read as its lines say, no audio track,
// tracks of one FILE out of order.
CueSheet ParseCueSheet(const QByteArray& bytes);

// The same for the file at `path`; the Error names the path.
CueSheet ReadCueSheet(const QString& path);

}  // namespace snipwave
