#pragma once

namespace snipwave::audio {

// True when libvorbis accepts this managed-bit-rate setup (kbit/s): the
// encoder itself is opened with exactly the parameters the writer would use.
bool IsOggFormatSupported(int sampleRate, int channels, int nominalKbps, int maxKbps, int minKbps);

}  // namespace snipwave::audio
