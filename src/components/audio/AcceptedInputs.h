#pragma once

namespace snipwave::audio {

// The containers (libavformat demuxer names) the exact reader takes; what a
// file is comes from the probe of its content, the extension only breaks ties.
bool IsAcceptedContainer(const char* name);

// What a file that is none of them is told.
inline constexpr const char* kUnsupportedFile =
    "not an MP3, WAV, WMA, OGG, FLAC, AIFF, M4A (AAC or ALAC) or AAC audio file";

}  // namespace snipwave::audio
