#pragma once

// The tag frame is shared with the MP3 writer, which needs one of its own at
// low bit rates; the copy names it in its own namespace.
#include "components/audio/Mp3TagFrame.h"

namespace snipwave::mp3copy {

using audio::BuildTagFrame;
using audio::Crc16;
using audio::TagFrameBytes;
using audio::TagFrameFacts;

}  // namespace snipwave::mp3copy
