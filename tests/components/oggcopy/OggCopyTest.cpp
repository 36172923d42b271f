#include <gtest/gtest.h>

#include <QFile>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>

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

// The codec's own decoder: oggdec as 16-bit integers (libvorbisfile's
// output, compared exactly), opusdec as float at 48 kHz. Both play chains.
std::vector<float> OwnDecode(const QString& path) {
  const bool opus = path.endsWith(".opus");
  const CommandResult r = opus ? RunCommand("opusdec", {"--quiet", "--rate", "48000", "--float", path, "-"})
                               : RunCommand("oggdec", {"-Q", "-R", "-o", "-", path});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  const std::size_t bytes = opus ? 4 : 2;
  std::vector<float> v(static_cast<std::size_t>(r.out.size()) / bytes);
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (opus) {
      std::memcpy(&v[i], r.out.constData() + 4 * i, 4);
    } else {
      std::int16_t s;
      std::memcpy(&s, r.out.constData() + 2 * i, 2);
      v[i] = s;
    }
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
  EXPECT_LE(MaxDiff(ownOut, own), IsOpus(out) ? tolerance : tolerance * 32768) << "oggdec: in 16-bit steps";
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

// Joins: one chained link per range, the ranges of one source and of a
// second source made with the same encoder settings in order.
TEST(OggCopy, JoinsDecodeToTheirRangesInOrder) {
  TempDir dir;
  for (const Source& first : {Sources()[0], Sources()[2]}) {
    SCOPED_TRACE(first.name);
    Source second = first;
    second.file = IsOpus(first.file) ? "oggcopy-o48s-b.opus" : "oggcopy-v44s-b.ogg";
    second.seconds = "2";
    const QString pathA = Make(first), pathB = Make(second);
    const auto a = OpenSource(pathA), b = OpenSource(pathB);
    ASSERT_TRUE(a && b);
    ASSERT_TRUE(a->SameSetup(*b));
    const std::vector<CopyRange> ranges = {{a.get(), a->Length() / 10, a->Length() * 3 / 10},
                                           {a.get(), a->Length() * 6 / 10, a->Length() * 8 / 10},
                                           {b.get(), b->Length() / 5, b->Length() / 2}};
    std::vector<float> own, reader;
    std::int64_t frames = 0;
    for (const CopyRange& r : ranges) {
      const QString path = r.source->Path();
      const std::vector<float> o = Slice(OwnDecode(path), r.begin, r.end, first.channels);
      const std::vector<float> d = Slice(ReaderDecode(path), r.begin, r.end, first.channels);
      own.insert(own.end(), o.begin(), o.end());
      reader.insert(reader.end(), d.begin(), d.end());
      frames += r.end - r.begin;
    }
    const QString out = dir.file(IsOpus(pathA) ? "join.opus" : "join.ogg");
    EXPECT_EQ(oggcopy::WriteOggCopy(ranges, out, {}).decodedFrames, frames);
    ExpectDecodes(out, own, reader, first.tolerance);
    EXPECT_EQ(audio::SourceDecoder(out.toStdString()).Links().size(), ranges.size());
  }
}

// A copy's own start trim (a granule below its first page's output, a
// pre-skip beyond the first packet) is read and kept when it is copied again.
TEST(OggCopy, CopiesOfCopiesStayExact) {
  TempDir dir;
  for (const Source& s : {Sources()[0], Sources()[2]}) {
    SCOPED_TRACE(s.name);
    const QString path = Make(s);
    const auto source = OpenSource(path);
    ASSERT_TRUE(source);
    const std::int64_t b = source->Length() / 3 + 77, e = source->Length() - 1234;
    const QString once = dir.file(IsOpus(path) ? "once.opus" : "once.ogg");
    oggcopy::WriteOggCopy({{source.get(), b, e}}, once, {});
    const auto copy = OpenSource(once);
    ASSERT_TRUE(copy);
    ASSERT_EQ(copy->Length(), e - b);
    const std::int64_t x = 1001, y = copy->Length() - 999;
    const QString twice = dir.file(IsOpus(path) ? "twice.opus" : "twice.ogg");
    oggcopy::WriteOggCopy({{copy.get(), x, y}}, twice, {});
    ExpectDecodes(twice, Slice(OwnDecode(path), b + x, b + y, s.channels), Slice(ReaderDecode(path), b + x, b + y, s.channels),
                  s.tolerance);
  }
}

// Sources whose packets cannot be copied are refused with the reason.
TEST(OggCopy, RefusesWhatItCannotCopy) {
  TempDir dir;
  const QString vorbis = Make(Sources()[0]), opus = Make(Sources()[2]);
  const auto bytesOf = [](const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll();
  };
  const auto repaged = [&](const QString& path, const std::function<void(std::vector<OggPage>&)>& change) {
    std::vector<OggPage> pages = ReadOggPages(bytesOf(path));
    change(pages);
    return WriteOggPages(pages);
  };
  const QString wav = ToolFixture("oggcopy-1s.wav", "sox", [](const QString& out) {
    return QStringList{"-n", "-r", "44100", "-c", "1", "-b", "16", out, "synth", "1", "sine", "440"};
  });
  const QString flac = ToolFixture("oggcopy-1s.oga", "flac", [&](const QString& out) {
    return QStringList{"--silent", "--ogg", "--force", "-o", out, wav};
  });
  const QString twoStreams = dir.file("two-streams.ogg");
  Ffmpeg({"-i", vorbis, "-i", vorbis, "-map", "0:a", "-map", "1:a", "-c", "copy", twoStreams});
  struct Refusal {
    const char* name;
    QByteArray bytes;
    const char* reason;
  };
  const QByteArray whole = bytesOf(vorbis);
  QByteArray damaged = whole;
  damaged[damaged.size() / 2] = static_cast<char>(damaged[damaged.size() / 2] ^ 0x10);
  const std::vector<Refusal> cases = {
      {"chained", whole + whole, "chained Ogg file"},
      {"two streams", bytesOf(twoStreams), "several streams side by side"},
      {"Ogg FLAC", bytesOf(flac), "neither Vorbis nor Opus"},
      {"WAV", bytesOf(wav), "no Ogg file"},
      {"damaged page", damaged, "checksum"},
      {"cut off", whole.left(whole.size() - 100), "ends in the middle of an Ogg page"},
      {"last page without granule", repaged(vorbis, [](auto& pages) { pages.back().granule = -1; }), "no granule position"},
      {"Opus mapping family 2", repaged(opus, [](auto& pages) { pages.front().body[18] = 2; }), "mapping family (2)"},
  };
  for (const Refusal& c : cases) {
    SCOPED_TRACE(c.name);
    const QString path = dir.file("refused");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(c.bytes);
    f.close();
    QString reason;
    EXPECT_FALSE(OggCopySource::Open(path, 1000, &reason));
    EXPECT_TRUE(reason.contains(c.reason)) << reason.toStdString();
  }
  // A length the packets do not give.
  QString reason;
  const std::int64_t length = audio::SourceDecoder(vorbis.toStdString()).LengthFrames();
  EXPECT_FALSE(OggCopySource::Open(vorbis, length + 1, &reason));
  EXPECT_EQ(reason, "its packets do not add up to its length");
}

// A failed write throws naming the output; ranges that cannot follow each
// other are refused before anything is written.
TEST(OggCopy, WriteFailuresThrowNamingThePath) {
  TempDir dir;
  const auto vorbis = OpenSource(Make(Sources()[0])), mono = OpenSource(Make(Sources()[1]));
  ASSERT_TRUE(vorbis && mono);
  QFile blocker(dir.file("file"));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  struct Failure {
    const char* name;
    std::vector<CopyRange> ranges;
    QString out;
    const char* message;
  };
  const std::vector<Failure> cases = {
      {"folder is a file", {{vorbis.get(), 0, 1000}}, dir.file("file/out.ogg"), "Not a directory"},
      {"setups differ", {{vorbis.get(), 0, 1000}, {mono.get(), 0, 1000}}, dir.file("mixed.ogg"), "encoded unlike"},
      {"range past the end", {{vorbis.get(), 0, vorbis->Length() + 1}}, dir.file("long.ogg"), "outside the source"},
  };
  for (const Failure& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      oggcopy::WriteOggCopy(c.ranges, c.out, {});
      ADD_FAILURE() << "no error";
    } catch (const Error& e) {
      EXPECT_TRUE(QString(e.what()).contains(c.out)) << e.what();
      EXPECT_TRUE(QString(e.what()).contains(c.message)) << e.what();
    }
    EXPECT_FALSE(QFile::exists(c.out));
  }
}

// Told to stop, a copy ends early as a valid file that decodes to the
// range's first frames.
TEST(OggCopy, StoppedCopyEndsAsAValidFile) {
  TempDir dir;
  for (const Source& s : {Sources()[0], Sources()[2]}) {
    SCOPED_TRACE(s.name);
    const QString path = Make(s);
    const auto source = OpenSource(path);
    ASSERT_TRUE(source);
    const QString out = dir.file(IsOpus(path) ? "stopped.opus" : "stopped.ogg");
    double share = -1;
    const CopyOutcome outcome = oggcopy::WriteOggCopy({{source.get(), 1000, source->Length()}}, out, [&](double done) {
      share = done;
      return false;
    });
    EXPECT_GT(share, 0);
    EXPECT_LT(share, 1);
    EXPECT_GT(outcome.decodedFrames, 0);
    EXPECT_LT(outcome.decodedFrames, source->Length() - 1000);
    ExpectDecodes(out, Slice(OwnDecode(path), 1000, 1000 + outcome.decodedFrames, s.channels),
                  Slice(ReaderDecode(path), 1000, 1000 + outcome.decodedFrames, s.channels), s.tolerance);
  }
}

}  // namespace
}  // namespace snipwave::test
