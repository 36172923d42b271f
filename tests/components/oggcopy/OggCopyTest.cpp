#include <gtest/gtest.h>

#include <QFile>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "Commands.h"
#include "OggPages.h"
#include "TempDir.h"
#include "components/audio/SourceDecoder.h"
#include "components/oggcopy/OggCopy.h"
#include "platform/Error.h"

// Ogg Vorbis and Opus packet copies checked with the codecs' own decoders
// (oggdec, opusdec), FFmpeg and the program's reader: exact lengths, the
// source's samples, packets that are the source's bytes.
namespace snipwave::test {
namespace {

using oggcopy::CopyOutcome;
using oggcopy::CopyRange;
using oggcopy::OggCopySource;

// A sox-made source encoded by `tool`: each channel its own sweep, or
// `synth` (sox synth arguments) for every channel.
QString Encoded(const QString& name, int rate, int channels, const QString& seconds, const QString& tool,
                const QStringList& options, const QStringList& synth = {}) {
  const QString tag = synth.isEmpty() ? "sweep" : synth.join('-').replace(' ', '_');
  const QString wav = ToolFixture(QString("oggcopy-%1-%2-%3-%4.wav").arg(rate).arg(channels).arg(seconds, tag), "sox",
                                  [=](const QString& out) {
                                    QStringList args{"-n", "-r", QString::number(rate), "-c", QString::number(channels),
                                                     "-b", "16", "-t", "wav", out, "synth", seconds};
                                    if (!synth.isEmpty()) return args + synth;
                                    for (int c = 0; c < channels; ++c) {
                                      args << "sine" << QString("%1-%2").arg(100 + 70 * c).arg(6000 + 500 * c);
                                    }
                                    return args << "vol" << "0.5";
                                  });
  return ToolFixture(name, tool, [=](const QString& out) {
    if (tool == "opusenc") return QStringList{"--quiet"} + options + QStringList{wav, out};
    return QStringList{"-Q"} + options + QStringList{"-o", out, wav};
  });
}

std::vector<float> Floats(const QByteArray& raw) {
  std::vector<float> v(static_cast<std::size_t>(raw.size()) / sizeof(float));
  if (!v.empty()) std::memcpy(v.data(), raw.constData(), v.size() * sizeof(float));
  return v;
}

// The codec's own decoder: oggdec as 16-bit integers (libvorbisfile's
// output, compared exactly), opusdec as float at 48 kHz. Both play chains.
std::vector<float> OwnDecode(const QString& path) {
  if (path.endsWith(".opus")) {
    const CommandResult r = RunCommand("opusdec", {"--quiet", "--rate", "48000", "--float", path, "-"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    return Floats(r.out);
  }
  const CommandResult r = RunCommand("oggdec", {"-Q", "-R", "-o", "-", path});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  std::vector<float> v(static_cast<std::size_t>(r.out.size()) / 2);
  for (std::size_t i = 0; i < v.size(); ++i) {
    std::int16_t s;
    std::memcpy(&s, r.out.constData() + 2 * i, 2);
    v[i] = s;
  }
  return v;
}

std::vector<float> ReaderDecode(const QString& path) {
  audio::SourceDecoder d(path.toStdString());
  std::vector<float> all;
  while (d.Read(8192, all) > 0) {
  }
  return all;
}

std::vector<float> Slice(const std::vector<float>& v, std::int64_t b, std::int64_t e, int channels) {
  const auto at = [&](std::int64_t frame) { return v.begin() + std::min(static_cast<std::size_t>(frame * channels), v.size()); };
  return {at(b), at(e)};
}

float MaxDiff(const std::vector<float>& a, const std::vector<float>& b) {
  float worst = 0;
  for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) worst = std::max(worst, std::fabs(a[i] - b[i]));
  return worst;
}

// The packets of an Ogg file after each stream's headers, in file order,
// reassembled from the page lacing (a chain's links one after another).
std::vector<QByteArray> AudioPackets(const QString& path) {
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::ReadOnly));
  std::vector<QByteArray> packets;
  QByteArray partial;
  int headersLeft = 0;
  for (const OggPage& page : ReadOggPages(f.readAll())) {
    if (page.flags & 0x02) headersLeft = page.body.startsWith("OpusHead") ? 2 : 3;
    qsizetype at = 0;
    for (std::uint8_t lace : page.lacing) {
      partial += page.body.mid(at, lace);
      at += lace;
      if (lace == 255) continue;
      if (headersLeft > 0) {
        --headersLeft;
      } else {
        packets.push_back(partial);
      }
      partial.clear();
    }
  }
  return packets;
}

struct Source {
  const char* name;
  const char* file;
  int rate, channels;
  const char* seconds;
  const char* tool;
  QStringList options;
  QStringList synth;
  // Largest sample difference to the source's own decode. Vorbis: none
  // (the decode after one overlap packet is the same). Opus: its decoder
  // starts 640 ms early and its state converges to, not always onto, that
  // of a decode from the start: measured 0 on these CELT sources, 0.02 on
  // steady tones in SILK speech mode.
  float tolerance;
};

QString Make(const Source& s) { return Encoded(s.file, s.rate, s.channels, s.seconds, s.tool, s.options, s.synth); }
bool IsOpus(const QString& path) { return path.endsWith(".opus"); }

std::unique_ptr<OggCopySource> OpenSource(const QString& path) {
  audio::SourceDecoder d(path.toStdString());
  QString reason;
  auto source = OggCopySource::Open(path, d.LengthFrames(), &reason);
  EXPECT_TRUE(source) << reason.toStdString();
  return source;
}

const std::vector<Source>& Sources() {
  static const std::vector<Source> sources = {
      {"vorbis-stereo-44k", "oggcopy-v44s.ogg", 44100, 2, "3", "oggenc", {"-q", "4"}, {}, 0},
      {"vorbis-mono-48k", "oggcopy-v48m.ogg", 48000, 1, "2", "oggenc", {"-q", "1"}, {}, 0},
      {"opus-stereo", "oggcopy-o48s.opus", 48000, 2, "3", "opusenc", {"--bitrate", "96"}, {}, 1e-4f},
      {"opus-mono-speech-44k", "oggcopy-o44m.opus", 44100, 1, "2", "opusenc", {"--bitrate", "16", "--speech"},
       {"sine", "150-400", "synth", "3", "sine", "amod", "3", "vol", "0.5"}, 0.03f},
      {"opus-5.1", "oggcopy-o48-6.opus", 48000, 6, "1.5", "opusenc", {"--bitrate", "256"}, {}, 1e-4f},
  };
  return sources;
}

// Checks a written copy against `own` and `reader`, the source's decodes by
// the codec's own decoder and by the program's reader over the ranges.
void ExpectDecodes(const QString& out, const std::vector<float>& own, const std::vector<float>& reader, float tolerance) {
  const std::vector<float> ownOut = OwnDecode(out);
  ASSERT_EQ(ownOut.size(), own.size()) << "samples by the codec's own decoder";
  EXPECT_LE(MaxDiff(ownOut, own), tolerance * 32768) << "in 16-bit steps for oggdec";
  const std::vector<float> readerOut = ReaderDecode(out);
  ASSERT_EQ(readerOut.size(), reader.size()) << "samples by the program's reader";
  EXPECT_LE(MaxDiff(readerOut, reader), tolerance);
}

// FFmpeg (5.1) trims an Opus start and the end of a stream of two pages or
// more, but no Vorbis start: its decode holds `range` (what it makes of the
// source there) at its start or its end, with at most one packet's output
// more.
void ExpectFfmpegHolds(const QString& out, const std::vector<float>& range, int channels, float tolerance) {
  const std::vector<float> ffmpeg = DecodeWithFfmpeg(out, channels);
  ASSERT_GE(ffmpeg.size(), range.size());
  EXPECT_LE(ffmpeg.size() - range.size(), 4096u * channels);
  const auto n = static_cast<std::ptrdiff_t>(range.size());
  const std::vector<float> head(ffmpeg.begin(), ffmpeg.begin() + n), tail(ffmpeg.end() - n, ffmpeg.end());
  EXPECT_LE(std::min(MaxDiff(head, range), MaxDiff(tail, range)), tolerance);
}

TEST(OggCopy, CutsDecodeToExactlyTheirRange) {
  struct Cut {
    const char* name;
    double begin, end;  // share of the length, or frames when > 1, or frames from the end when < 0
  };
  const std::vector<Cut> cuts = {
      {"whole", 0, 1},        {"first frame", 0, 1.5},       {"inside the first packets", 5, 700},
      {"middle", 0.37, 0.61}, {"to the end", 0.5, 1},        {"one frame mid-stream", 0.4, 0},
      {"last frame", -1, 1},
  };
  TempDir dir;
  for (const Source& s : Sources()) {
    const QString path = Make(s);
    const auto source = OpenSource(path);
    ASSERT_TRUE(source);
    const std::vector<float> own = OwnDecode(path), reader = ReaderDecode(path);
    // FFmpeg's Opus decoder is its own (the reader's is libopus); its Vorbis
    // decoder is the reader's.
    const std::vector<float> ffmpeg = IsOpus(path) ? DecodeWithFfmpeg(path, s.channels) : reader;
    const std::int64_t length = source->Length();
    ASSERT_EQ(static_cast<std::int64_t>(own.size()), length * s.channels);
    const std::vector<QByteArray> sourcePackets = AudioPackets(path);
    for (const Cut& c : cuts) {
      SCOPED_TRACE(std::string(s.name) + ", " + c.name);
      const auto at = [length](double v) {
        return static_cast<std::int64_t>(v < 0 ? length + v : v > 1 ? std::floor(v) : v * length);
      };
      const std::int64_t b = at(c.begin);
      const std::int64_t e = c.end == 0 ? b + 1 : at(c.end);
      QString why;
      if (!source->CanCopy(b, e, &why)) {
        // Only a Vorbis range inside one packet's output is refused.
        EXPECT_FALSE(IsOpus(path));
        EXPECT_EQ(e - b, 1) << why.toStdString();
        continue;
      }
      const QString out = dir.file(QString("cut") + (IsOpus(path) ? ".opus" : ".ogg"));
      const CopyOutcome outcome = oggcopy::WriteOggCopy({{source.get(), b, e}}, out, {});
      EXPECT_EQ(outcome.decodedFrames, e - b);
      ExpectDecodes(out, Slice(own, b, e, s.channels), Slice(reader, b, e, s.channels), s.tolerance);
      ExpectFfmpegHolds(out, Slice(ffmpeg, b, e, s.channels), s.channels, s.tolerance);
      // Every packet is one of the source's, in order, byte for byte.
      const std::vector<QByteArray> copied = AudioPackets(out);
      ASSERT_EQ(static_cast<std::int64_t>(copied.size()), outcome.packetsCopied);
      EXPECT_NE(std::search(sourcePackets.begin(), sourcePackets.end(), copied.begin(), copied.end()),
                sourcePackets.end());
      EXPECT_GE(outcome.packetsInRanges, 1);
      EXPECT_GE(outcome.packetsCopied, outcome.packetsInRanges * 9 / 10);
    }
  }
}

}  // namespace
}  // namespace snipwave::test
