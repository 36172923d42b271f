#pragma once

#include <QString>

#include "components/tags/TagSet.h"

namespace snipwave {

// The tags of a media file as FFmpeg reads them, from whatever tag system the
// file has (ID3v1/v2, APE, Vorbis comments, ASF attributes, RIFF INFO):
// container tags first, then those of the audio stream; the cover from an
// attached-picture stream. Throws snipwave::Error when the file cannot be
// opened or has no recognisable format.
TagSet ReadTags(const QString& path);

}  // namespace snipwave
