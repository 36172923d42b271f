#include "components/tags/TagWriter.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include <taglib/asffile.h>
#include <taglib/asfpicture.h>
#include <taglib/asftag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/tpropertymap.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

#include "components/audio/M4aGapless.h"
#include "platform/Error.h"
#include "platform/FileNames.h"

namespace snipwave {

namespace {

TagLib::String Utf8(const QString& text) { return TagLib::String(text.toStdString(), TagLib::String::UTF8); }
TagLib::ByteVector Bytes(const QByteArray& data) {
  return TagLib::ByteVector(data.constData(), static_cast<unsigned>(data.size()));
}

// TagLib's common property names, which each format maps to its own frames
// (ID3v2: TIT2, TPE1, TALB, TPE2, TRCK, TPOS, TDRC (TYER in v2.3), TCON, COMM;
// ASF: Title, Author, WM/AlbumTitle, WM/AlbumArtist, ...; Vorbis: as named).
constexpr std::array<const char*, kTagFieldCount> kPropertyNames = {
    "TITLE", "ARTIST", "ALBUM", "ALBUMARTIST", "TRACKNUMBER", "DISCNUMBER", "DATE", "GENRE", "COMMENT"};

TagLib::PropertyMap PropertiesOf(const TagSet& tags) {
  TagLib::PropertyMap map;
  for (std::size_t i = 0; i < kPropertyNames.size(); ++i)
    if (!tags.values[i].isEmpty()) map.insert(kPropertyNames[i], TagLib::StringList(Utf8(tags.values[i])));
  return map;
}

// ReplayGain 2.0 as players read it: "-3.21 dB" and "0.987654".
std::vector<std::pair<std::string, std::string>> ReplayGainFields(const ReplayGainTags& gain) {
  std::vector<std::pair<std::string, std::string>> fields;
  char text[32];
  const auto add = [&](const char* key, const std::optional<double>& value, const char* format) {
    if (!value) return;
    std::snprintf(text, sizeof text, format, *value);
    fields.emplace_back(key, text);
  };
  add("REPLAYGAIN_TRACK_GAIN", gain.trackGainDb, "%.2f dB");
  add("REPLAYGAIN_TRACK_PEAK", gain.trackPeak, "%.6f");
  add("REPLAYGAIN_ALBUM_GAIN", gain.albumGainDb, "%.2f dB");
  add("REPLAYGAIN_ALBUM_PEAK", gain.albumPeak, "%.6f");
  return fields;
}

// What Opus players read instead (RFC 7845, 5.2.1): the gain to -23 LUFS
// rather than -18, in Q7.8 fixed point (1/256 dB), as a decimal integer.
std::vector<std::pair<std::string, std::string>> R128Fields(const ReplayGainTags& gain) {
  std::vector<std::pair<std::string, std::string>> fields;
  const auto add = [&](const char* key, const std::optional<double>& replayGainDb) {
    if (!replayGainDb) return;
    const double r128Db = *replayGainDb - 5.0;  // the reference 5 LU lower
    const long q78 = std::clamp(std::lround(r128Db * 256.0), -32768L, 32767L);
    fields.emplace_back(key, std::to_string(q78));
  };
  add("R128_TRACK_GAIN", gain.trackGainDb);
  add("R128_ALBUM_GAIN", gain.albumGainDb);
  return fields;
}

// The common properties plus the ReplayGain fields, which ID3v2 keeps in
// TXXX frames, Vorbis comments as fields and MP4 as freeform atoms.
TagLib::PropertyMap PropertiesWithGain(const TagSet& tags, bool opus = false) {
  TagLib::PropertyMap map = PropertiesOf(tags);
  for (const auto& [key, value] : ReplayGainFields(tags.replayGain)) map.insert(key, TagLib::StringList(value));
  if (opus)
    for (const auto& [key, value] : R128Fields(tags.replayGain)) map.insert(key, TagLib::StringList(value));
  return map;
}

[[noreturn]] void Fail(const std::string& path, const std::string& reason) {
  throw Error::Failed("Cannot write the tags of", path, reason);
}

void WriteMp3(const std::string& path, const TagSet& tags) {
  TagLib::MPEG::File file(path.c_str(), false);
  if (!file.isValid()) Fail(path, "not an MP3 file TagLib can read");
  TagLib::ID3v2::Tag* tag = file.ID3v2Tag(true);
  tag->setProperties(PropertiesWithGain(tags));
  if (!tags.cover.data.isEmpty()) {
    auto* picture = new TagLib::ID3v2::AttachedPictureFrame;  // owned by the tag once added
    picture->setTextEncoding(TagLib::String::UTF16);
    picture->setMimeType(Utf8(tags.cover.mimeType));
    picture->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
    picture->setPicture(Bytes(tags.cover.data));
    tag->addFrame(picture);
  }
  if (!file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v3))
    Fail(path, "TagLib could not save the file");
}

TagLib::FLAC::Picture* NewPicture(const CoverPicture& cover) {
  auto* picture = new TagLib::FLAC::Picture;  // owned by whatever it is added to
  picture->setType(TagLib::FLAC::Picture::FrontCover);
  picture->setMimeType(Utf8(cover.mimeType));
  picture->setData(Bytes(cover.data));
  return picture;
}

// Vorbis comments (Ogg Vorbis, Ogg Opus): the cover as METADATA_BLOCK_PICTURE.
// Opus players read their gain from R128_* fields as well.
template <typename OggFile>
void WriteXiph(const std::string& path, const TagSet& tags, const char* kind, bool opus) {
  OggFile file(path.c_str(), false);
  if (!file.isValid()) Fail(path, std::string("not an ") + kind + " file TagLib can read");
  TagLib::Ogg::XiphComment* comment = file.tag();
  comment->setProperties(PropertiesWithGain(tags, opus));
  comment->removeAllPictures();
  if (!tags.cover.data.isEmpty()) comment->addPicture(NewPicture(tags.cover));
  if (!file.save()) Fail(path, "TagLib could not save the file");
}

// FLAC: Vorbis comment block, the cover as a PICTURE block.
void WriteFlac(const std::string& path, const TagSet& tags) {
  TagLib::FLAC::File file(path.c_str(), false);
  if (!file.isValid()) Fail(path, "not a FLAC file TagLib can read");
  file.xiphComment(true)->setProperties(PropertiesWithGain(tags));
  file.removePictures();
  if (!tags.cover.data.isEmpty()) file.addPicture(NewPicture(tags.cover));
  if (!file.save()) Fail(path, "TagLib could not save the file");
}

// MP4 atoms (\251nam \251ART \251alb aART trkn disk \251day \251gen \251cmt, the
// cover as covr). The writer's gapless comment is no tag: it stays.
void WriteM4a(const std::string& path, const TagSet& tags) {
  TagLib::MP4::File file(path.c_str(), false);
  if (!file.isValid() || !file.tag()) Fail(path, "not an MP4 file TagLib can read");
  TagLib::MP4::Tag* tag = file.tag();
  const bool gapless = tag->contains(audio::kItunesGaplessKey);
  const TagLib::MP4::Item gaplessItem = gapless ? tag->item(audio::kItunesGaplessKey) : TagLib::MP4::Item();
  tag->setProperties(PropertiesOf(tags));
  // MP4 has no common name for them: freeform iTunes atoms under the Vorbis
  // names, where players that level by tags look (TagLib's property map
  // drops keys it does not know).
  for (const auto& [key, value] : ReplayGainFields(tags.replayGain)) {
    tag->setItem("----:com.apple.iTunes:" + key,
                 TagLib::MP4::Item(TagLib::StringList(TagLib::String(value, TagLib::String::UTF8))));
  }
  tag->removeItem("covr");
  if (!tags.cover.data.isEmpty()) {
    const auto format = tags.cover.mimeType == "image/png" ? TagLib::MP4::CoverArt::PNG : TagLib::MP4::CoverArt::JPEG;
    TagLib::MP4::CoverArtList covers;
    covers.append(TagLib::MP4::CoverArt(format, Bytes(tags.cover.data)));
    tag->setItem("covr", TagLib::MP4::Item(covers));
  }
  if (gapless) tag->setItem(audio::kItunesGaplessKey, gaplessItem);
  if (!file.save()) Fail(path, "TagLib could not save the file");
}

void WriteWma(const std::string& path, const TagSet& tags) {
  TagLib::ASF::File file(path.c_str(), false);
  if (!file.isValid()) Fail(path, "not an ASF file TagLib can read");
  TagLib::ASF::Tag* tag = file.tag();
  tag->setProperties(PropertiesOf(tags));
  // ASF has no common name for them: attributes under the Vorbis names.
  for (const auto& [key, value] : ReplayGainFields(tags.replayGain))
    tag->setAttribute(key, TagLib::ASF::Attribute(TagLib::String(value, TagLib::String::UTF8)));
  if (!tags.cover.data.isEmpty()) {
    TagLib::ASF::Picture picture;
    picture.setType(TagLib::ASF::Picture::FrontCover);
    picture.setMimeType(Utf8(tags.cover.mimeType));
    picture.setPicture(Bytes(tags.cover.data));
    tag->setAttribute("WM/Picture", TagLib::ASF::Attribute(picture));
  }
  if (!file.save()) Fail(path, "TagLib could not save the file");
}

// RIFF INFO fields that FFmpeg and common players read; INFO has none for
// album artist or disc, and no pictures. INFO has no ReplayGain either: those
// go into an ID3v2 chunk beside it (TXXX frames, as in MP3), written only
// when there are any, so a WAV without them keeps INFO alone.
void WriteWav(const std::string& path, const TagSet& tags) {
  TagLib::RIFF::WAV::File file(path.c_str(), false);
  if (!file.isValid()) Fail(path, "not a WAV file TagLib can read");
  TagLib::RIFF::Info::Tag* info = file.InfoTag();
  const std::array<std::pair<TagField, const char*>, 7> fields = {{{TagField::Title, "INAM"},
                                                                   {TagField::Artist, "IART"},
                                                                   {TagField::Album, "IPRD"},
                                                                   {TagField::Track, "IPRT"},
                                                                   {TagField::Date, "ICRD"},
                                                                   {TagField::Genre, "IGNR"},
                                                                   {TagField::Comment, "ICMT"}}};
  for (const auto& [field, id] : fields)
    if (!tags.Get(field).isEmpty()) info->setFieldText(id, Utf8(tags.Get(field)));
  auto kinds = TagLib::RIFF::WAV::File::Info;
  if (!tags.replayGain.Empty()) {
    TagLib::PropertyMap gain;
    for (const auto& [key, value] : ReplayGainFields(tags.replayGain)) gain.insert(key, TagLib::StringList(value));
    file.ID3v2Tag()->setProperties(gain);
    kinds = TagLib::RIFF::WAV::File::AllTags;
  }
  if (!file.save(kinds, TagLib::File::StripOthers, TagLib::ID3v2::v3)) Fail(path, "TagLib could not save the file");
}

}  // namespace

void TagLibWriter::WriteTags(const QString& path, const TagSet& tags) {
  // TagLib fills shared key tables lazily without a lock (ASF and RIFF INFO
  // property names, ID3v2 frame maps): one file at a time in the process.
  static std::mutex oneAtATime;
  const std::lock_guard lock(oneAtATime);
  const std::string systemPath = SystemPath(path);
  const QString extension = QFileInfo(path).suffix().toLower();
  if (extension == "mp3") return WriteMp3(systemPath, tags);
  if (extension == "ogg") return WriteXiph<TagLib::Ogg::Vorbis::File>(systemPath, tags, "Ogg Vorbis", false);
  if (extension == "opus") return WriteXiph<TagLib::Ogg::Opus::File>(systemPath, tags, "Ogg Opus", true);
  if (extension == "flac") return WriteFlac(systemPath, tags);
  if (extension == "m4a") return WriteM4a(systemPath, tags);
  if (extension == "wma") return WriteWma(systemPath, tags);
  if (extension == "wav") return WriteWav(systemPath, tags);
  Fail(systemPath, "no tag system is known for ." + extension.toStdString() + " files");
}

}  // namespace snipwave
