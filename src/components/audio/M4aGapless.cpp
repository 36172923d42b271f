#include "M4aGapless.h"

#include <cstdio>

#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>

#include "platform/Error.h"

namespace snipwave::audio {

std::string ItunesGaplessText(std::int64_t delay, std::int64_t padding, std::int64_t length) {
  char text[160];
  std::snprintf(text, sizeof text, " 00000000 %08X %08X %016llX", static_cast<unsigned>(delay),
                static_cast<unsigned>(padding), static_cast<unsigned long long>(length));
  std::string out = text;
  for (int i = 0; i < 8; ++i) out += " 00000000";
  return out;
}

void WriteItunesGapless(const std::string& path, std::int64_t delay, std::int64_t padding, std::int64_t length) {
  TagLib::MP4::File file(path.c_str(), false);
  if (!file.isValid() || !file.tag()) {
    throw Error::Failed("Cannot write", path, "the file just written is not an MP4 file TagLib can read");
  }
  const TagLib::String text(ItunesGaplessText(delay, padding, length), TagLib::String::UTF8);
  file.tag()->setItem(kItunesGaplessKey, TagLib::MP4::Item(TagLib::StringList(text)));
  if (!file.save()) throw Error::Failed("Cannot write", path, "the gapless comment could not be saved");
}

}  // namespace snipwave::audio
