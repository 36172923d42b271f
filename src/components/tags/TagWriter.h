#pragma once

#include <QString>

#include "components/tags/TagSet.h"

namespace snipwave {

// Writes tags into a finished audio file in its format's own tag system,
// chosen by the file's extension. Jobs take it by interface so their logic
// can be tried without touching tag libraries.
class ITagWriter {
 public:
  virtual ~ITagWriter() = default;
  // Replaces the file's tags by `tags`. Throws snipwave::Error naming the
  // file when it cannot be tagged.
  virtual void WriteTags(const QString& path, const TagSet& tags) = 0;
};

// On TagLib: ID3v2.3 for .mp3 (cover as APIC), Vorbis comments for .ogg
// and .opus (cover as METADATA_BLOCK_PICTURE), Vorbis comments for .flac
// (cover as a PICTURE block), MP4 atoms for .m4a (cover as covr; the iTunes
// gapless comment kept), ASF attributes for .wma (cover as WM/Picture),
// LIST/INFO for .wav (no cover; INFO has no album artist or disc field).
// ReplayGain values (REPLAYGAIN_TRACK_GAIN "-3.21 dB", ..._PEAK "0.987654",
// album alike): TXXX frames in MP3, Vorbis comments in OGG, FLAC and Opus
// (Opus also R128_TRACK_GAIN/R128_ALBUM_GAIN), freeform atoms in M4A,
// attributes in WMA, TXXX frames in an ID3v2 chunk in WAV. Any other
// extension is refused.
class TagLibWriter : public ITagWriter {
 public:
  void WriteTags(const QString& path, const TagSet& tags) override;
};

}  // namespace snipwave
