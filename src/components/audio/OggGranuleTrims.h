#pragma once

#include "OggLayout.h"
#include "PacketIndex.h"

namespace snipwave::audio {

// Trims `index` (the decode of every audio packet of one Ogg stream, in
// sample frames) to the stream's audio as the reference decoders read its
// granule positions and, for Opus, its pre-skip: opusdec (Opus and FLAC)
// and libvorbisfile (Vorbis). `layout` must have both granules set and at
// least one packet up to the first. The reader and the packet copy both use
// these rules, so that their frame 0 is the same sample.
void TrimOpusFlacByGranules(PacketIndex& index, const OggLayout& layout);
void TrimVorbisByGranules(PacketIndex& index, const OggLayout& layout);

}  // namespace snipwave::audio
