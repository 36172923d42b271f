#include <gtest/gtest.h>

#include <QFile>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "Commands.h"
#include "TempDir.h"
#include "components/audio/ScanCache.h"
#include "components/audio/SourceDecoder.h"

// Opus and FLAC in Ogg, and chained Ogg files, as opusenc, flac and oggenc
// write them: length, every sample and seeks agree with the formats' own
// decoders (opusdec, flac, oggdec).
namespace snipwave::test {
namespace {

using audio::SourceDecoder;

std::vector<float> FloatsOf(const QByteArray& raw) {
  std::vector<float> v(static_cast<std::size_t>(raw.size()) / sizeof(float));
  if (!v.empty()) std::memcpy(v.data(), raw.constData(), v.size() * sizeof(float));
  return v;
}

std::vector<float> RunTool(const QString& program, const QStringList& args) {
  const CommandResult r = RunCommand(program, args);
  EXPECT_EQ(r.exitCode, 0) << program.toStdString() << " " << args.join(' ').toStdString() << "\n"
                           << r.err.toStdString();
  return FloatsOf(r.out);
}

// A sox chirp at half scale (no decoder clips it), channels differing.
QString SoxChirp(const QString& name, int rate, int channels, const QString& seconds, int bits = 16) {
  return ToolFixture(name, "sox", [=](const QString& out) {
    QStringList args{"-n", "-r", QString::number(rate), "-c", QString::number(channels), "-b", QString::number(bits),
                     "-e", "signed-integer", "-t", "wav", out, "synth", seconds, "sine", "100-6000"};
    if (channels > 1) args << "sine" << "300-9000";
    return args << "vol" << "0.5";
  });
}

QString Encoded(const QString& name, const QString& wav, const QString& tool, const QStringList& options) {
  return ToolFixture(name, tool, [=](const QString& out) {
    if (tool == "opusenc") return QStringList{"--quiet"} + options + QStringList{wav, out};
    if (tool == "oggenc") return QStringList{"-Q"} + options + QStringList{"-o", out, wav};
    return QStringList{"--silent", "--ogg", "--force"} + options + QStringList{"-o", out, wav};  // flac
  });
}

// What the format's own decoder makes of a file, as float32 frames.
std::vector<float> ReferenceDecode(const QString& path) {
  if (path.endsWith(".opus")) return RunTool("opusdec", {"--quiet", "--rate", "48000", "--float", path, "-"});
  TempDir dir;
  const QString wav = dir.file("ref.wav");
  if (path.endsWith(".ogg")) {
    RunTool("oggdec", {"-Q", "-o", wav, path});
  } else {
    RunTool("flac", {"--silent", "-d", "-o", wav, path});
  }
  return RunTool("sox", {wav, "-t", "f32", "-"});
}

std::vector<float> ReadAll(SourceDecoder& d) {
  std::vector<float> all;
  while (d.Read(8192, all) > 0) {
  }
  return all;
}

float MaxDiff(const std::vector<float>& a, const std::vector<float>& b, std::size_t bFrom) {
  float worst = 0;
  for (std::size_t i = 0; i < a.size() && bFrom + i < b.size(); ++i) {
    worst = std::max(worst, std::fabs(a[i] - b[bFrom + i]));
  }
  return worst;
}

// A cut [b, b + 3000) read after a seek to each point (clamped to the last
// frame) holds what `truth` holds there.
void ExpectCutsMatch(SourceDecoder& d, const std::vector<std::int64_t>& points, const std::vector<float>& truth,
                     float tolerance) {
  const int channels = d.Channels();
  for (std::int64_t point : points) {
    const std::int64_t b = std::clamp<std::int64_t>(point, 0, d.LengthFrames() - 1);
    const std::int64_t frames = std::min<std::int64_t>(3000, d.LengthFrames() - b);
    d.Seek(b);
    std::vector<float> cut;
    while (static_cast<std::int64_t>(cut.size()) < frames * channels &&
           d.Read(static_cast<std::size_t>(frames - static_cast<std::int64_t>(cut.size()) / channels), cut) > 0) {
    }
    ASSERT_EQ(static_cast<std::int64_t>(cut.size()), frames * channels) << "at " << b;
    EXPECT_LE(MaxDiff(cut, truth, static_cast<std::size_t>(b * channels)), tolerance) << "at " << b;
  }
}

struct OggCase {
  const char* name;
  int rate, channels, bits;
  const char* seconds;
  const char* tool;
  QStringList options;
  float tolerance;  // libopus and libavcodec round differently; FLAC is exact
};

// Seeks put the same frames as a decode from the start at these positions
// (fractions of the length; 0 and the last frame too).
constexpr double kSeekPoints[] = {0.0, 0.013, 0.37, 0.5, 0.91, 1.0};

TEST(OggRead, OpusAndOggFlacReadAsTheirOwnDecoders) {
  const std::vector<OggCase> cases = {
      {"opus-64k", 48000, 2, 16, "3", "opusenc", {"--bitrate", "64"}, 1e-4f},
      {"opus-192k-cbr", 48000, 2, 16, "2", "opusenc", {"--bitrate", "192", "--hard-cbr"}, 1e-4f},
      {"opus-mono-speech", 48000, 1, 16, "2", "opusenc", {"--bitrate", "12", "--speech"}, 1e-4f},
      {"opus-from-44k", 44100, 2, 16, "2", "opusenc", {"--bitrate", "96"}, 1e-4f},
      {"opus-60ms", 48000, 2, 16, "2", "opusenc", {"--framesize", "60"}, 1e-4f},
      {"opus-short", 48000, 1, 16, "0.05", "opusenc", {}, 1e-4f},
      {"flac-16", 44100, 2, 16, "3", "flac", {}, 0},
      {"flac-24-mono-576", 96000, 1, 24, "1.5", "flac", {"--blocksize", "576"}, 0},
  };
  for (const OggCase& c : cases) {
    SCOPED_TRACE(c.name);
    const QString wav = SoxChirp(QString("ogg-src-%1-%2-%3-%4.wav").arg(c.rate).arg(c.channels).arg(c.bits).arg(c.seconds),
                                 c.rate, c.channels, c.seconds, c.bits);
    const QString ext = QString(c.tool) == "opusenc" ? ".opus" : ".oga";
    const QString file = Encoded(QString("ogg-%1%2").arg(c.name).arg(ext), wav, c.tool, c.options);
    const std::vector<float> truth = ReferenceDecode(file);
    SourceDecoder d(file.toStdString());
    ASSERT_EQ(d.SampleRate(), ext == ".opus" ? 48000 : c.rate);
    ASSERT_EQ(d.Channels(), c.channels);
    ASSERT_EQ(d.LengthFrames() * c.channels, static_cast<std::int64_t>(truth.size()));
    const std::vector<float> all = ReadAll(d);
    ASSERT_EQ(all.size(), truth.size());
    EXPECT_LE(MaxDiff(all, truth, 0), c.tolerance);
    if (ext == ".oga") {
      // The lossless decode is the source itself, bit for bit.
      EXPECT_EQ(all, RunTool("sox", {wav, "-t", "f32", "-"}));
    }
    std::vector<std::int64_t> points;
    for (double at : kSeekPoints) points.push_back(static_cast<std::int64_t>(at * d.LengthFrames()));
    ExpectCutsMatch(d, points, truth, c.tolerance);
  }
}

// Files joined one after another: every link in order, lengths adding up,
// links in the first link's format as their own decoder gives them, the
// others converted; a seek anywhere (at and around the joins too) gives what
// a continuous read gives.
TEST(OggRead, ChainedLinksReadInOrderAsOneSource) {
  struct Piece {
    const char* name;
    int rate, channels;
    const char* seconds;
    const char* tool;
  };
  const Piece vorbis44{"v44", 44100, 2, "1.3", "oggenc"}, vorbis22{"v22", 22050, 1, "0.9", "oggenc"},
      opus2{"o2", 48000, 2, "1.1", "opusenc"}, opus1{"o1", 48000, 1, "0.7", "opusenc"};
  struct ChainCase {
    const char* name;
    std::vector<Piece> links;
  };
  const std::vector<ChainCase> cases = {
      {"vorbis, same format", {vorbis44, vorbis44, vorbis44}},
      {"vorbis, rate and channels change", {vorbis44, vorbis22, vorbis44}},
      {"opus, mono link", {opus2, opus1}},
      {"vorbis then opus", {vorbis22, opus2}},
  };
  TempDir dir;
  for (const ChainCase& c : cases) {
    SCOPED_TRACE(c.name);
    QByteArray bytes;
    QStringList files;
    std::vector<std::vector<float>> truths;
    for (const Piece& p : c.links) {
      const QString wav = SoxChirp(QString("ogg-src-%1-%2-%3.wav").arg(p.rate).arg(p.channels).arg(p.seconds), p.rate,
                                   p.channels, p.seconds);
      const QString ext = QString(p.tool) == "opusenc" ? ".opus" : ".ogg";
      const QString file = Encoded(QString("chain-%1%2").arg(p.name).arg(ext), wav, p.tool, {});
      QFile f(file);
      ASSERT_TRUE(f.open(QIODevice::ReadOnly));
      bytes += f.readAll();
      files << file;
      truths.push_back(ReferenceDecode(file));
    }
    const QString chain = dir.file("chain.ogg");
    {
      QFile f(chain);
      ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
      f.write(bytes);
    }
    SourceDecoder d(chain.toStdString());
    const Piece& first = c.links.front();
    const int rate = QString(first.tool) == "opusenc" ? 48000 : first.rate;
    ASSERT_EQ(d.SampleRate(), rate);
    ASSERT_EQ(d.Channels(), first.channels);
    const std::vector<audio::LinkFormat> links = d.Links();
    ASSERT_EQ(links.size(), c.links.size());
    std::int64_t sum = 0;
    for (std::size_t i = 0; i < links.size(); ++i) {
      const std::int64_t own = static_cast<std::int64_t>(truths[i].size()) / links[i].channels;
      // The converter's rounding rule: own frames x rate ratio, to the nearest.
      EXPECT_EQ(links[i].frames, (own * rate + links[i].sampleRate / 2) / links[i].sampleRate) << "link " << i;
      EXPECT_EQ(links[i].converted, links[i].sampleRate != rate || links[i].channels != first.channels);
      sum += links[i].frames;
    }
    ASSERT_EQ(d.LengthFrames(), sum);
    const std::vector<float> all = ReadAll(d);
    ASSERT_EQ(static_cast<std::int64_t>(all.size()), sum * first.channels);
    {
      // Reopened, every link's scan comes from the cache, each its own.
      const std::size_t hits = audio::ScanCache::Instance().Hits();
      SourceDecoder again(chain.toStdString());
      EXPECT_EQ(audio::ScanCache::Instance().Hits(), hits + links.size());
      EXPECT_EQ(ReadAll(again), all);
    }
    // Links in the first link's format are their own decoder's samples (a
    // mono link is copied to both channels); converted ones follow it.
    std::int64_t at = 0;
    for (std::size_t i = 0; i < links.size(); ++i) {
      const std::size_t from = static_cast<std::size_t>(at * first.channels);
      const std::vector<float> got(all.begin() + static_cast<std::ptrdiff_t>(from),
                                   all.begin() + static_cast<std::ptrdiff_t>(from + links[i].frames * first.channels));
      if (links[i].sampleRate == rate) {
        std::vector<float> want;
        for (std::size_t k = 0; k < truths[i].size(); ++k) {
          for (int ch = 0; ch < first.channels / links[i].channels; ++ch) want.push_back(truths[i][k]);
        }
        EXPECT_LE(MaxDiff(got, want, 0), 1e-4f) << "link " << i;
      } else {
        // Against FFmpeg's own decode and conversion of the link: the same
        // waveform in the same place (a shift of one frame loses the match).
        std::vector<float> want = DecodeWithFfmpeg(files[i], first.channels, rate);
        want.resize(got.size());
        EXPECT_GT(Correlation(got, want), 0.999) << "link " << i;
      }
      at += links[i].frames;
    }
    // Seeks at each join (the frame before, at, after), inside links, and at
    // the end, against the continuous read.
    std::vector<std::int64_t> points = {0, sum / 3, sum};
    at = 0;
    for (const audio::LinkFormat& link : links) {
      at += link.frames;
      for (std::int64_t delta : {-1, 0, 1}) points.push_back(at + delta);
    }
    ExpectCutsMatch(d, points, all, 1e-4f);
  }
}

}  // namespace
}  // namespace snipwave::test
