#pragma once

#include <cstdint>

namespace snipwave {

class IAudioFile2;

// The zero crossing nearest to frame `sample` within `window` frames either
// side, in the file open in `reader` (which is left wherever the read ended).
// The channels are summed into one signal, so a crossing is where the mix
// changes sign (a stereo file whose channels cross at different frames gets
// the frame where their sum does). Between two frames of opposite sign the
// crossing is the frame nearer zero (the earlier on a tie); a frame that is
// exactly zero is a crossing itself. Of two crossings equally near, the
// earlier wins. No crossing within the window: `sample` itself. Throws the
// reader's error.
std::int64_t NearestZeroCrossing(IAudioFile2& reader, std::int64_t sample, std::int64_t window);

}  // namespace snipwave
