#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <optional>
#include <vector>

namespace snipwave {

// The tags that travel from a source to an output. Each output format stores
// them in its own tag system; these are the fields all of them can hold.
enum class TagField { Title, Artist, Album, AlbumArtist, Track, Disc, Date, Genre, Comment };
inline constexpr int kTagFieldCount = 9;

// An embedded picture, as stored (JPEG or PNG bytes).
struct CoverPicture {
  QByteArray data;
  QString mimeType;  // "image/jpeg", "image/png"
  bool operator==(const CoverPicture&) const = default;
};

// ReplayGain 2.0 values of an output, measured from its audio: gains in dB
// to bring it to -18 LUFS, peaks as linear amplitudes (1.0 = full scale).
// Unset: not written (silence has no gain).
struct ReplayGainTags {
  std::optional<double> trackGainDb, trackPeak, albumGainDb, albumPeak;
  bool Empty() const { return !trackGainDb && !trackPeak && !albumGainDb && !albumPeak; }
  bool operator==(const ReplayGainTags&) const = default;
};

struct TagSet {
  std::array<QString, kTagFieldCount> values;  // empty: not set
  CoverPicture cover;                          // empty data: none
  ReplayGainTags replayGain;                   // of this output only: never shared

  const QString& Get(TagField field) const { return values[static_cast<std::size_t>(field)]; }
  void Set(TagField field, QString value) { values[static_cast<std::size_t>(field)] = std::move(value); }
  bool Empty() const;
  bool operator==(const TagSet&) const = default;
};

// The fields (and the picture) whose values are the same in every set; an
// empty list gives an empty set.
TagSet SharedTags(const std::vector<TagSet>& sets);

}  // namespace snipwave
