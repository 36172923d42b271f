// `--replaygain`: the tags of each output, read back by ffprobe, against
// FFmpeg's own measure of that output.
#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cmath>

#include "Commands.h"
#include "FfmpegLoudness.h"
#include "TempDir.h"

namespace snipwave::test {
namespace {

const QString kProgram = QStringLiteral(SNIPWAVE_RUNTIME_DIR "/snipwave");

// The file's tags as ffprobe reads them (container and stream tags, keys
// upper-cased): what a player reading the tags sees.
QJsonObject ProbedTags(const QString& path) {
  const CommandResult r = RunCommand(
      "ffprobe", {"-v", "error", "-show_entries", "format_tags:stream_tags", "-of", "json", path});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  const QJsonObject all = QJsonDocument::fromJson(r.out).object();
  QJsonObject tags;
  const auto take = [&](const QJsonObject& from) {
    for (auto it = from.begin(); it != from.end(); ++it) tags.insert(it.key().toUpper(), it.value());
  };
  take(all.value("format").toObject().value("tags").toObject());
  for (const auto& stream : all.value("streams").toArray()) take(stream.toObject().value("tags").toObject());
  return tags;
}

// "-3.21 dB" -> -3.21; NaN when missing.
double Number(const QJsonObject& tags, const char* key) {
  const QString text = tags.value(key).toString();
  bool ok = false;
  const double value = text.section(' ', 0, 0).toDouble(&ok);
  EXPECT_TRUE(ok) << key << " is \"" << text.toStdString() << "\"";
  return ok ? value : std::nan("");
}

// Track gain and peak of each output of a cut, and album values over both
// outputs (a louder and a quieter source), in every format with a tag
// system for them (WAV: an ID3v2 chunk). Gain = -18 LUFS - FFmpeg's integrated loudness of the
// output; peak = FFmpeg's true peak, linear.
TEST(ReplayGain, CutOutputsGetTrackAndAlbumValuesAsFfmpegMeasuresThem) {
  TempDir dir;
  qputenv("SNIPWAVE_CONFIG_DIR", dir.path().toUtf8());
  const QString loud = ChirpFixture("rg-loud.wav", 4.0, 44100, 2);
  const QString quiet = Fixture("rg-quiet.wav", {"-i", loud, "-af", "volume=-12dB"});
  for (const char* format : {"mp3", "ogg", "wma", "wav", "flac", "opus", "m4a"}) {
    SCOPED_TRACE(format);
    const QString folder = dir.file(format);
    const CommandResult r = RunCommand(kProgram, {"cut", "--format", format, "--replaygain", "--out", folder, loud, quiet});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList outputs = QString::fromUtf8(r.out).split('\n', Qt::SkipEmptyParts);  // in row order
    ASSERT_EQ(outputs.size(), 2) << r.out.toStdString();
    const FfmpegLoudness album = [&] {
      // Both outputs as one stretch of audio: the album.
      const QString joined = folder + "/album.wav";
      Ffmpeg({"-i", outputs[0], "-i", outputs[1], "-filter_complex", "concat=n=2:v=0:a=1", joined});
      return MeasureWithFfmpeg(joined);
    }();
    // The album's peak is the highest of its tracks' (the concatenation's
    // seam may make a peak of its own, which no track holds).
    const double albumPeak = std::max(MeasureWithFfmpeg(outputs[0]).truePeakDbtp, MeasureWithFfmpeg(outputs[1]).truePeakDbtp);
    for (const QString& output : outputs) {
      SCOPED_TRACE(output.toStdString());
      const QJsonObject tags = ProbedTags(output);
      const FfmpegLoudness track = MeasureWithFfmpeg(output);
      EXPECT_NEAR(Number(tags, "REPLAYGAIN_TRACK_GAIN"), -18.0 - track.integratedLufs, 0.1);
      EXPECT_NEAR(20 * std::log10(Number(tags, "REPLAYGAIN_TRACK_PEAK")), track.truePeakDbtp, 0.1);
      EXPECT_NEAR(Number(tags, "REPLAYGAIN_ALBUM_GAIN"), -18.0 - album.integratedLufs, 0.1);
      EXPECT_NEAR(20 * std::log10(Number(tags, "REPLAYGAIN_ALBUM_PEAK")), albumPeak, 0.1);
    }
  }
}

// A join's one file is its own album; silence gets no gain at all.
TEST(ReplayGain, JoinTrackIsAlbumAndSilenceHasNoGain) {
  TempDir dir;
  qputenv("SNIPWAVE_CONFIG_DIR", dir.path().toUtf8());
  const QString loud = ChirpFixture("rg-loud.wav", 4.0, 44100, 2);
  const QString silence = Fixture("rg-silence.wav", {"-f", "lavfi", "-i", "anullsrc=r=44100:cl=stereo:d=2"});
  const QString joined = dir.file("joined.mp3");
  CommandResult r = RunCommand(kProgram, {"join", "--replaygain", "--out", joined, loud, loud});
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  const QJsonObject tags = ProbedTags(joined);
  EXPECT_NEAR(Number(tags, "REPLAYGAIN_TRACK_GAIN"), -18.0 - MeasureWithFfmpeg(joined).integratedLufs, 0.1);
  EXPECT_EQ(tags.value("REPLAYGAIN_ALBUM_GAIN"), tags.value("REPLAYGAIN_TRACK_GAIN"));
  EXPECT_EQ(tags.value("REPLAYGAIN_ALBUM_PEAK"), tags.value("REPLAYGAIN_TRACK_PEAK"));

  r = RunCommand(kProgram, {"cut", "--replaygain", "--out", dir.file("quiet"), silence});
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_FALSE(ProbedTags(QString::fromUtf8(r.out).trimmed()).contains("REPLAYGAIN_TRACK_GAIN"));
}

}  // namespace
}  // namespace snipwave::test
