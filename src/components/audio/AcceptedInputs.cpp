#include "AcceptedInputs.h"

#include <cstring>
#include <initializer_list>

namespace snipwave::audio {

bool IsAcceptedContainer(const char* name) {
  // "mov,mp4,m4a,3gp,3g2,mj2" is the ISO media demuxer (M4A); "aac" reads
  // ADTS streams.
  for (const char* ok : {"mp3", "wav", "asf", "ogg", "flac", "aiff", "mov,mp4,m4a,3gp,3g2,mj2", "aac"}) {
    if (std::strcmp(name, ok) == 0) return true;
  }
  return false;
}

}  // namespace snipwave::audio
