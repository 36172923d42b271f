#include "components/tags/TagReader.h"

#include "components/audio/AvError.h"
#include "components/audio/AvHandles.h"
#include "platform/FileNames.h"

namespace snipwave {

namespace {

// FFmpeg's own names for each field first, then the raw names some demuxers
// leave unconverted (Vorbis comments, APE, ASF's WM/Year).
struct FieldKeys {
  TagField field;
  std::array<const char*, 3> keys;
};
constexpr std::array<FieldKeys, kTagFieldCount> kKeys = {{
    {TagField::Title, {"title", nullptr, nullptr}},
    {TagField::Artist, {"artist", nullptr, nullptr}},
    {TagField::Album, {"album", nullptr, nullptr}},
    {TagField::AlbumArtist, {"album_artist", "albumartist", "album artist"}},
    {TagField::Track, {"track", "tracknumber", nullptr}},
    {TagField::Disc, {"disc", "discnumber", nullptr}},
    {TagField::Date, {"date", "year", "WM/Year"}},
    {TagField::Genre, {"genre", nullptr, nullptr}},
    {TagField::Comment, {"comment", "description", nullptr}},
}};

void TakeFrom(const AVDictionary* dict, TagSet& tags) {
  if (!dict) return;
  for (const FieldKeys& entry : kKeys) {
    if (!tags.Get(entry.field).isEmpty()) continue;
    for (const char* key : entry.keys) {
      if (!key) break;
      const AVDictionaryEntry* found = av_dict_get(dict, key, nullptr, 0);  // case-insensitive
      if (found && found->value && *found->value) {
        tags.Set(entry.field, QString::fromUtf8(found->value).trimmed());
        break;
      }
    }
  }
}

QString MimeTypeOf(AVCodecID codec) {
  switch (codec) {
    case AV_CODEC_ID_MJPEG: return "image/jpeg";
    case AV_CODEC_ID_PNG: return "image/png";
    case AV_CODEC_ID_GIF: return "image/gif";
    case AV_CODEC_ID_BMP: return "image/bmp";
    default: return {};
  }
}

}  // namespace

TagSet ReadTags(const QString& path) {
  const std::string systemPath = SystemPath(path);
  AVFormatContext* raw = nullptr;
  av::Check(avformat_open_input(&raw, systemPath.c_str(), nullptr, nullptr), "Cannot read the tags of", systemPath);
  av::InputFormatPtr context(raw);
  // Stream tags (Vorbis comments) and attached pictures are known only after
  // the streams are looked at.
  av::Check(avformat_find_stream_info(context.get(), nullptr), "Cannot read the tags of", systemPath);

  TagSet tags;
  TakeFrom(context->metadata, tags);
  for (unsigned i = 0; i < context->nb_streams; ++i) {
    const AVStream* stream = context->streams[i];
    if (stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) TakeFrom(stream->metadata, tags);
    if ((stream->disposition & AV_DISPOSITION_ATTACHED_PIC) && tags.cover.data.isEmpty() &&
        stream->attached_pic.size > 0) {
      const QString mime = MimeTypeOf(stream->codecpar->codec_id);
      if (mime.isEmpty()) continue;
      tags.cover.data = QByteArray(reinterpret_cast<const char*>(stream->attached_pic.data), stream->attached_pic.size);
      tags.cover.mimeType = mime;
    }
  }
  return tags;
}

}  // namespace snipwave
