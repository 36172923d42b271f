#pragma once

#include <vector>

struct AVFrame;

namespace snipwave::audio {

// Appends the frames of a decoded AVFrame (any of libavcodec's PCM sample
// formats, packed or planar) to `out` as interleaved float32, skipping
// `skipFront` frames at its start and `skipBack` at its end. Integer samples
// are scaled by 1/2^(bits-1), the same mapping libswresample uses, so the
// result matches the ffmpeg command line bit for bit.
void AppendAsFloat(const AVFrame& frame, int skipFront, int skipBack, std::vector<float>& out);

}  // namespace snipwave::audio
