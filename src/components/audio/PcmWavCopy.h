#pragma once

// Cutting a range out of a plain integer-PCM WAV into a WAV of the same
// format needs no decoding: the output is a fresh header and the source's
// sample bytes of that range, moved in the kernel with copy_file_range(2).

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

namespace snipwave::audio {

// Format of a plain PCM WAV file and where its sample bytes lie (bytes from the file start).
struct PcmWavLayout {
  int sampleRate = 0;
  int channels = 0;
  int bitsPerSample = 0;           // container bits of one sample: 8 (unsigned), 16, 24 or 32 (signed)
  int blockAlign = 0;              // bytes per frame
  std::int64_t dataOffset = 0;     // first byte of the "data" chunk's payload
  std::int64_t frames = 0;         // whole frames in the data chunk (as far as the file really holds them)
  int validBitsPerSample = 0;      // WAVE_FORMAT_EXTENSIBLE's precision; 0: all container bits
  std::uint32_t channelMask = 0;   // WAVE_FORMAT_EXTENSIBLE's speaker positions; 0: none given
};

// The layout when `path` is a RIFF/WAVE file with integer PCM samples (format tag 1, or
// WAVE_FORMAT_EXTENSIBLE with the PCM sub-format), 8/16/24/32 bits, 1..8 channels; nothing for
// anything else (float, ADPCM, A-law, RF64, a truncated or malformed header...). Never throws for
// a malformed file; a data chunk longer than the file is taken at the file's length, and a size
// of 0 or 0xFFFFFFFF (a writer that never finished its header) as "up to the file's end", as
// FFmpeg's demuxer reads it.
std::optional<PcmWavLayout> ReadPcmWavLayout(const QString& path);

// Writes frames [begin, end) of the source as a WAV file at `outputPath` in the source's format:
// a plain header (RIFF, a 16-byte "fmt " for <= 2 channels and <= 16 bits, else
// WAVE_FORMAT_EXTENSIBLE as FFmpeg's wav muxer lays it out, "data"; no other chunk) followed by
// the sample bytes, moved with copy_file_range in 16 MiB blocks (read/write where the kernel or
// the file systems cannot). `keepGoing(framesDone)` is asked between blocks; false stops: the
// file then ends at the frames copied, header sizes patched, valid. A source that turns out
// shorter than `end` ends the copy early (header patched). Returns the frames written.
// Failures throw snipwave::Error with the operation, the path and strerror text; an output left
// incomplete by a failure is removed. The source is never written: an output path naming the
// source file itself is refused before anything is opened for writing.
std::int64_t CopyPcmWavRange(const PcmWavLayout& layout, const QString& sourcePath, std::int64_t begin,
                             std::int64_t end, const QString& outputPath,
                             const std::function<bool(std::int64_t)>& keepGoing = {});

}  // namespace snipwave::audio
