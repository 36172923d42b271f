#pragma once

#include <QString>
#include <array>
#include <cstdint>

#include "components/tags/TagSet.h"

namespace snipwave {

// One listed file. Marks and lengths are sample frames of the source file
// (the reader's unit), 64-bit because long recordings at high rates pass 2^31
// frames; TotalMs milliseconds; RangeSeconds whole seconds.
struct Timerec {
  std::int64_t BeginSample = 0;   // begin mark of the range
  std::int64_t EndSample = 0;     // end mark (exclusive), BeginSample <= EndSample
  std::int64_t TotalSamples = 0;  // length of the whole file
  std::int32_t TotalMs = 0;       // duration of the whole file
  std::int32_t RangeSeconds = 0;  // (end ms div 1000) - (begin ms div 1000)
  QString FilePath;               // full path of the source file
  // What the row is called and the tags its output gets instead of the
  // source's (set by a cue sheet, a label file or a split); empty: none.
  QString Title;
  TagSet Tags;
  std::int32_t SampleRate = 0;  // Hz of the source as the reader gave it; 0: unknown
  bool operator==(const Timerec&) const = default;
};

// The list holds at most this many files; record i always describes row i.
inline constexpr int kTrackTableSize = 101;
using TrackTableArray = std::array<Timerec, kTrackTableSize>;

}  // namespace snipwave
