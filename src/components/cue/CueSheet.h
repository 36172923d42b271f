#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

#include "components/tags/TagSet.h"

namespace snipwave {

// One TRACK of a cue sheet, its times in CD frames (1/75 s) of its FILE.
struct CueTrack {
  int number = 0;          // TRACK nn
  QString file;            // the FILE it belongs to, as the sheet writes it
  std::int64_t start = 0;  // its INDEX 01
  // The next track's INDEX 01 in the same FILE; -1: the track runs to the
  // file's end. An INDEX 00 (pregap) of the next track stays in this one.
  std::int64_t end = -1;
  QString title;  // the track's TITLE; empty: none
  // Title, Artist (the track's PERFORMER, else the sheet's), Album (the
  // sheet's TITLE), AlbumArtist (the sheet's PERFORMER), Track, Date (REM
  // DATE) and Genre (REM GENRE).
  TagSet tags;
  bool operator==(const CueTrack&) const = default;
};

// The audio tracks of a sheet, in its order. Throws Error with the reason
// (no sheet libcue accepts, no track, a track without INDEX 01, a data track,
// tracks of one FILE out of order).
std::vector<CueTrack> ParseCueSheet(const QByteArray& bytes);

// The same for the file at `path`; the Error names the path.
std::vector<CueTrack> ReadCueSheet(const QString& path);

}  // namespace snipwave
