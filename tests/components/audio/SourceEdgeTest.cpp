#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <cmath>
#include <cstring>
#include <functional>

#include "Commands.h"
#include "OggPages.h"
#include "TempDir.h"
#include "TrailingTags.h"
#include "components/audio/SourceDecoder.h"
#include "platform/Error.h"

// Files as other programs make them (lame, oggenc, sox, taggers, damaged
// copies), each checked against an independent decoder.
namespace snipwave::test {
namespace {

using audio::SourceDecoder;

QByteArray ReadBytes(const QString& path) {
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
  return f.readAll();
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

void RunTool(const QString& program, const QStringList& args) {
  const CommandResult r = RunCommand(program, args);
  ASSERT_EQ(r.exitCode, 0) << program.toStdString() << " " << args.join(' ').toStdString() << "\n"
                           << r.err.toStdString();
}

// A sox chirp: no two neighbouring frames alike, so a shift shows.
QString SoxChirp(const TempDir& dir, const QString& name, const QString& length, int channels = 2) {
  const QString path = dir.file(name);
  RunTool("sox", {"-n", "-r", "44100", "-c", QString::number(channels), "-b", "16", path, "synth", length, "sine",
              "100-6000", "vol", "0.5"});
  return path;
}

std::vector<float> FloatsOf(const QByteArray& raw) {
  std::vector<float> v(static_cast<std::size_t>(raw.size()) / sizeof(float));
  std::memcpy(v.data(), raw.constData(), v.size() * sizeof(float));
  return v;
}

std::vector<float> Mpg123Gapless(const QString& path) {
  const CommandResult r = RunCommand("mpg123", {"--gapless", "-q", "-e", "f32", "-s", path});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  return FloatsOf(r.out);
}

std::vector<float> Oggdec(const QString& path) {
  const CommandResult r = RunCommand("oggdec", {"-Q", "-R", "-b", "16", "-o", "-", path});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  std::vector<float> v(static_cast<std::size_t>(r.out.size()) / 2);
  for (std::size_t i = 0; i < v.size(); ++i) {
    std::int16_t s;
    std::memcpy(&s, r.out.constData() + 2 * i, 2);
    v[i] = s / 32768.0f;
  }
  return v;
}

std::vector<float> ReadAll(SourceDecoder& d) {
  std::vector<float> all;
  while (d.Read(4096, all) > 0) {
  }
  return all;
}

// Largest difference between a[from..] and b[bFrom..] over `n` values: two
// decoders of the same data differ by rounding, a shift by far more.
float MaxDiff(const std::vector<float>& a, std::size_t from, const std::vector<float>& b, std::size_t bFrom,
              std::size_t n) {
  float worst = 0;
  for (std::size_t i = 0; i < n; ++i) worst = std::max(worst, std::fabs(a[from + i] - b[bFrom + i]));
  return worst;
}

constexpr float kDecoderTolerance = 2e-3f;

// Some taggers leave zeros or stray bytes before the first MP3 frame; the
// LAME tag behind them still decides length and alignment.
TEST(SourceEdges, Mp3WithJunkBeforeTheLameTag) {
  TempDir dir;
  const QString wav = SoxChirp(dir, "src.wav", "3.1");
  // lame's tag frame reaches the demuxer as a packet; the one FFmpeg writes
  // (after its own ID3v2 tag, which the junk hides) is dropped by its parser.
  const QString lameMp3 = dir.file("lame.mp3"), ffmpegMp3 = dir.file("ffmpeg.mp3");
  RunTool("lame", {"--quiet", "-V", "2", wav, lameMp3});
  Ffmpeg({"-i", wav, "-c:a", "libmp3lame", "-b:a", "96k", ffmpegMp3});
  QByteArray random(5000, '\0');
  unsigned x = 7;
  for (char& c : random) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 16);
  // An ID3v2.3 tag of 30 bytes (one title frame) before zeros.
  QByteArray id3("ID3\x03\x00\x00\x00\x00\x00\x14", 10);
  id3 += QByteArray("TIT2\x00\x00\x00\x0a\x00\x00\x00Title 123", 20);
  const std::vector<std::pair<const char*, QByteArray>> prefixes = {
      {"zeros", QByteArray(3000, '\0')}, {"random", random}, {"id3 and zeros", id3 + QByteArray(777, '\0')}};
  for (const QString& source : {lameMp3, ffmpegMp3}) {
    for (const auto& [name, prefix] : prefixes) {
      SCOPED_TRACE(source.toStdString() + " after " + name);
      const QString path = dir.file("junk.mp3");
      WriteBytes(path, prefix + ReadBytes(source));
      const std::vector<float> truth = Mpg123Gapless(path);
      SourceDecoder d(path.toStdString());
      ASSERT_EQ(d.LengthFrames() * 2, static_cast<std::int64_t>(truth.size()));
      const std::vector<float> all = ReadAll(d);
      ASSERT_EQ(all.size(), truth.size());
      EXPECT_LT(MaxDiff(all, 0, truth, 0, truth.size()), kDecoderTolerance);
      d.Seek(100000);  // a range cut lands where mpg123 has the audio
      std::vector<float> range;
      ASSERT_EQ(d.Read(20000, range), 20000u);
      EXPECT_LT(MaxDiff(range, 0, truth, 200000, range.size()), kDecoderTolerance);
    }
  }
}

// Large tags after the frames (an APE tag, with or without its header, then
// ID3v1) make libavformat drop the LAME tag's end trim; the length and the
// samples stay those of the bare file (mpg123 and FFmpeg agree on those).
TEST(SourceEdges, Mp3WithLargeTrailingTagsKeepsTheLameTagsLength) {
  TempDir dir;
  const QString bare = dir.file("bare.mp3");
  RunTool("lame", {"--quiet", "-b", "128", SoxChirp(dir, "src.wav", "3"), bare});
  const std::vector<float> truth = Mpg123Gapless(bare);
  ASSERT_EQ(truth.size(), 2u * 132300);
  ASSERT_EQ(DecodeWithFfmpeg(bare).size(), truth.size());
  std::vector<std::pair<QByteArray, QByteArray>> many;
  for (int i = 0; i < 10000; ++i) many.emplace_back("Item" + QByteArray::number(i), QByteArray::number(i * 7));
  const std::pair<const char*, QByteArray> tags[] = {
      {"a 1 MB comment", ApeTag({{"Comment", QByteArray(1 << 20, 'x')}}, true)},
      {"10000 items, no APE header", ApeTag(many, false)}};
  for (const auto& [name, ape] : tags) {
    SCOPED_TRACE(name);
    const QString path = dir.file("tagged.mp3");
    WriteBytes(path, ReadBytes(bare) + ape + Id3v1Tag());
    ASSERT_EQ(Mpg123Gapless(path).size(), truth.size());
    SourceDecoder d(path.toStdString());
    ASSERT_EQ(d.LengthFrames() * 2, static_cast<std::int64_t>(truth.size()));
    const std::vector<float> all = ReadAll(d);
    ASSERT_EQ(all.size(), truth.size());
    EXPECT_LT(MaxDiff(all, 0, truth, 0, truth.size()), kDecoderTolerance);
  }
}

// Free-format MP3 (no bit rate in the headers) cannot be decoded by
// libavcodec: refused in words that name it, whatever the file is called.
TEST(SourceEdges, FreeFormatMp3IsRefusedByName) {
  TempDir dir;
  const QString mp3 = dir.file("free.mp3"), bin = dir.file("free.bin");
  RunTool("lame", {"--quiet", "--freeformat", "-b", "400", SoxChirp(dir, "src.wav", "0.5"), mp3});
  QFile::copy(mp3, bin);
  for (const QString& path : {mp3, bin}) {
    try {
      SourceDecoder d(path.toStdString());
      ADD_FAILURE() << "opened, length " << d.LengthFrames();
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find(path.toStdString()), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find("free-format MP3"), std::string::npos) << e.what();
    }
  }
}

// A click of a few MP3 frames, which the format probe alone is unsure of.
TEST(SourceEdges, AVeryShortMp3Opens) {
  TempDir dir;
  const QString mp3 = dir.file("click.mp3");
  RunTool("lame", {"--quiet", "-b", "64", SoxChirp(dir, "click.wav", "1001s", 1), mp3});
  const std::vector<float> truth = Mpg123Gapless(mp3);
  ASSERT_FALSE(truth.empty());
  SourceDecoder d(mp3.toStdString());
  EXPECT_EQ(d.LengthFrames(), static_cast<std::int64_t>(truth.size()));
  const std::vector<float> all = ReadAll(d);
  ASSERT_EQ(all.size(), truth.size());
  EXPECT_LT(MaxDiff(all, 0, truth, 0, truth.size()), kDecoderTolerance);
}

// The frame the second audio packet of an Ogg Vorbis file ends at (the first
// gives none): its duration as ffprobe parses it.
std::int64_t SecondAudioPacketEnd(const QString& ogg) {
  const CommandResult r = RunCommand(
      "ffprobe", {"-v", "error", "-select_streams", "a:0", "-show_entries", "packet=duration", "-of", "default=nw=1:nk=1", ogg});
  const QStringList durations = QString::fromUtf8(r.out).split('\n', Qt::SkipEmptyParts);
  return durations.size() > 1 ? durations[1].toLongLong() : -1;
}

// Ogg Vorbis pages as other encoders and editors lay them out: length, every
// sample and a seek agree with oggdec (libvorbisfile, the reference decoder).
TEST(SourceEdges, OggLayoutsReadAsOggdecReadsThem) {
  TempDir dir;
  // A sound effect whose audio fits in one page: the granule cuts its tail.
  const QString shortOgg = dir.file("short.ogg");
  RunTool("oggenc", {"-Q", SoxChirp(dir, "short.wav", "2944s", 1), "-o", shortOgg});
  {
    const std::vector<float> truth = Oggdec(shortOgg);
    SourceDecoder d(shortOgg.toStdString());
    EXPECT_EQ(d.LengthFrames(), static_cast<std::int64_t>(truth.size()));
    const std::vector<float> all = ReadAll(d);
    ASSERT_EQ(all.size(), truth.size());
    EXPECT_LT(MaxDiff(all, 0, truth, 0, truth.size()), kDecoderTolerance);
  }
  const QString ogg = dir.file("music.ogg");
  RunTool("oggenc", {"-Q", "-q", "3", SoxChirp(dir, "music.wav", "3"), "-o", ogg});
  const std::vector<OggPage> original = ReadOggPages(ReadBytes(ogg));
  // Identification, comment and setup, then audio on pages of their own.
  ASSERT_GE(original.size(), 4u);
  ASSERT_EQ(original[1].granule, 0);
  const std::int64_t secondEnd = SecondAudioPacketEnd(ogg);
  ASSERT_GT(secondEnd, 0);
  struct Layout {
    const char* name;
    std::function<void(std::vector<OggPage>&)> change;
  };
  const Layout layouts[] = {
      {"as oggenc wrote it", [](std::vector<OggPage>&) {}},
      // Frames before time zero, announced only by the page's last packet:
      // libvorbis drops them from that packet's output.
      {"first page's granule 100 low", [](std::vector<OggPage>& p) { p[2].granule -= 100; }},
      // An exact start 100 frames in, as the format wants it made: the first
      // page ends after the second packet, the first with output.
      {"100 frames before zero on a page of two packets",
       [secondEnd](std::vector<OggPage>& p) {
         p.insert(p.begin() + 2, TakeFirstPackets(p[2], 2, secondEnd));
         for (std::size_t i = 2; i < p.size(); ++i) p[i].granule -= 100;
       }},
      // Audio on the setup header's page, as libVorbis 1.1 and 1.2 era
      // muxers wrote it: libvorbisfile starts decoding on the next page.
      {"first audio packet on the header page",
       [](std::vector<OggPage>& p) {
         const OggPage first = TakeFirstPackets(p[2], 1, 0);
         p[1].lacing.insert(p[1].lacing.end(), first.lacing.begin(), first.lacing.end());
         p[1].body += first.body;
       }},
  };
  for (const Layout& layout : layouts) {
    SCOPED_TRACE(layout.name);
    std::vector<OggPage> pages = original;
    layout.change(pages);
    const QString path = dir.file("relaid.ogg");
    WriteBytes(path, WriteOggPages(pages));
    const std::vector<float> truth = Oggdec(path);
    ASSERT_GT(truth.size(), 2u * 120000u);
    SourceDecoder d(path.toStdString());
    EXPECT_EQ(d.LengthFrames() * 2, static_cast<std::int64_t>(truth.size()));
    const std::vector<float> all = ReadAll(d);
    ASSERT_EQ(all.size(), truth.size());
    EXPECT_LT(MaxDiff(all, 0, truth, 0, truth.size()), kDecoderTolerance);
    d.Seek(100000);
    std::vector<float> range;
    ASSERT_EQ(d.Read(10000, range), 10000u);
    EXPECT_LT(MaxDiff(range, 0, truth, 200000, range.size()), kDecoderTolerance);
  }
  EXPECT_TRUE(RunCommand("ogginfo", {dir.file("relaid.ogg")}).out.contains("not have headers correctly framed"));
}

// Flipped bytes: packets the decoder rejects become silence of their own
// length; length, continuous and seek reads agree, and the damage is counted.
TEST(SourceEdges, DamagedPacketsBecomeCountedSilence) {
  TempDir dir;
  const QString wav = SoxChirp(dir, "src.wav", "3");
  const QString mp3 = dir.file("clean.mp3"), wma = dir.file("clean.wma");
  RunTool("lame", {"--quiet", "-b", "128", wav, mp3});
  Ffmpeg({"-i", wav, "-c:a", "wmav2", "-b:a", "128k", wma});
  struct Damage {
    QString source;
    qsizetype from, step;
    int count;
  };
  for (const Damage& damage : {Damage{mp3, 20000, 50, 200}, Damage{wma, 20000, 50, 200}}) {
    SCOPED_TRACE(damage.source.toStdString());
    QByteArray bytes = ReadBytes(damage.source);
    for (int k = 0; k < damage.count; ++k) bytes[damage.from + k * damage.step] ^= 0xFF;
    const QString path = dir.file("damaged." + damage.source.section('.', -1));
    WriteBytes(path, bytes);
    SourceDecoder d(path.toStdString());
    const std::vector<float> all = ReadAll(d);
    EXPECT_EQ(static_cast<std::int64_t>(all.size()), d.LengthFrames() * 2);
    EXPECT_GT(d.DamagedFrames(), 0);
    EXPECT_GT(d.LengthFrames(), 120000);
    for (const std::int64_t at : {std::int64_t{30000}, std::int64_t{50000}, std::int64_t{90000}}) {
      SCOPED_TRACE(at);
      d.Seek(at);
      std::vector<float> got;
      d.Read(20000, got);
      ASSERT_EQ(got.size(), 40000u);
      EXPECT_TRUE(std::equal(got.begin(), got.end(), all.begin() + at * 2));
    }
  }
}

// A file cut short while it is read yields fewer frames than its length,
// never invented ones.
TEST(SourceEdges, AFileThatShrinksWhileOpenReadsShort) {
  TempDir dir;
  // Long enough that the reader has not buffered half of it.
  const QString wav = SoxChirp(dir, "src.wav", "20");
  const QString mp3 = dir.file("src.mp3");
  RunTool("lame", {"--quiet", "-b", "128", wav, mp3});
  for (const QString& path : {wav, mp3}) {
    SCOPED_TRACE(path.toStdString());
    SourceDecoder d(path.toStdString());
    std::vector<float> got;
    ASSERT_EQ(d.Read(10000, got), 10000u);
    ASSERT_EQ(::truncate(path.toLocal8Bit().constData(), QFileInfo(path).size() / 2), 0);
    std::size_t total = 10000;
    for (std::size_t n; (n = d.Read(4096, got)) > 0;) total += n;
    EXPECT_LT(static_cast<std::int64_t>(total), d.LengthFrames() * 3 / 4);
    EXPECT_GT(total, 400000u);
    EXPECT_EQ(d.DamagedFrames(), 0);
  }
}

void ExpectOpenError(const std::string& path, const std::string& reason) {
  try {
    SourceDecoder d(path);
    ADD_FAILURE() << "opened " << path;
  } catch (const Error& e) {
    const std::string text = e.what();
    EXPECT_NE(text.find(path), std::string::npos) << text;
    EXPECT_NE(text.find(reason), std::string::npos) << text;
  }
}

// A WAV header with the given rate and channel count and a little silence.
QByteArray WavHeader(std::uint32_t rate, std::uint16_t channels, std::uint32_t dataBytes) {
  QByteArray h;
  const auto u32 = [&h](std::uint32_t v) { h.append(reinterpret_cast<const char*>(&v), 4); };
  const auto u16 = [&h](std::uint16_t v) { h.append(reinterpret_cast<const char*>(&v), 2); };
  h += "RIFF";
  u32(36 + dataBytes);
  h += "WAVEfmt ";
  u32(16);
  u16(1);
  u16(channels);
  u32(rate);
  u32(rate * channels * 2u);
  u16(static_cast<std::uint16_t>(channels * 2));
  u16(16);
  h += "data";
  u32(dataBytes);
  return h;
}

TEST(SourceEdges, UnreadableFilesAreRefusedInWords) {
  TempDir dir;
  // A named pipe with an audio name: refused at once, never waited on.
  const std::string fifo = dir.fileStd("x.wav");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  ExpectOpenError(fifo, "not a regular file");
  // Header values no recording has.
  WriteBytes(dir.file("ghz.wav"), WavHeader(1000000000u, 2, 4000) + QByteArray(4000, '\0'));
  ExpectOpenError(dir.fileStd("ghz.wav"), "Hz");
  WriteBytes(dir.file("258.wav"), WavHeader(44100, 258, 258 * 2 * 10) + QByteArray(258 * 2 * 10, '\0'));
  ExpectOpenError(dir.fileStd("258.wav"), "258 channels");
  // Cut off inside its header: damaged, with the library's words after.
  const QString wma = Fixture("tone.wma", {"-f", "lavfi", "-i", "sine=d=1", "-c:a", "wmav2"});
  WriteBytes(dir.file("cut.wma"), ReadBytes(wma).left(300));
  ExpectOpenError(dir.fileStd("cut.wma"), "damaged or is not an audio file (");
  ExpectOpenError(Fixture("video-only.ogg", {"-f", "lavfi", "-i", "testsrc=s=64x48:d=0.5", "-c:v", "libtheora"})
                      .toStdString(),
                  "has no audio stream");
}

// FLAC as capture tools leave it: a stream from a frame header on, without
// "fLaC" and STREAMINFO (from the first frame, or from the middle), reads
// and seeks as `flac -d` decodes it. 32-bit FLAC, which libavcodec 5.1
// cannot decode, is refused by that name, with its header or without.
TEST(SourceEdges, FlacStreamsWithoutTheirHeaderAndWideFlac) {
  TempDir dir;
  const QString flac = dir.file("whole.flac");
  RunTool("flac", {"-s", "-f", "-o", flac, SoxChirp(dir, "src.wav", "6")});
  const QByteArray whole = ReadBytes(flac);
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(whole.constData());
  qsizetype frames = 4;  // after "fLaC", the metadata blocks up to the one flagged last
  for (bool last = false; !last; frames += 4 + (bytes[frames + 1] << 16 | bytes[frames + 2] << 8 | bytes[frames + 3]))
    last = (bytes[frames] & 0x80) != 0;
  // The header of frame 10: the first frame's sync and codes, its number in one byte.
  qsizetype middle = frames + 1;
  while (whole.mid(middle, 4) != whole.mid(frames, 4) || bytes[middle + 4] != 10) ++middle;
  for (const qsizetype start : {frames, middle}) {
    SCOPED_TRACE(start);
    const QString bare = dir.file("bare.flac"), raw = dir.file("bare.raw");
    WriteBytes(bare, whole.mid(start));
    RunTool("flac", {"-d", "-s", "-f", "--force-raw-format", "--endian=little", "--sign=signed", "-o", raw, bare});
    const QByteArray pcm = ReadBytes(raw);
    std::vector<float> expected(static_cast<std::size_t>(pcm.size()) / 2);
    for (std::size_t i = 0; i < expected.size(); ++i)
      expected[i] = static_cast<float>(qFromLittleEndian<qint16>(pcm.constData() + 2 * i)) / 32768.0f;
    SourceDecoder d(bare.toStdString());
    EXPECT_EQ(d.LengthFrames() * 2, static_cast<std::int64_t>(expected.size()));
    EXPECT_EQ(ReadAll(d), expected);
    const std::int64_t at = d.LengthFrames() / 2 + 123;
    d.Seek(at);
    std::vector<float> got;
    ASSERT_EQ(d.Read(4410, got), 4410u);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), expected.begin() + at * 2));
  }
  const QString wide = dir.file("wide.flac"), wideWav = dir.file("wide.wav");
  RunTool("sox", {"-n", "-r", "44100", "-c", "2", "-b", "32", wideWav, "synth", "0.5", "sine", "440"});
  RunTool("flac", {"-s", "-f", "-o", wide, wideWav});
  ExpectOpenError(wide.toStdString(), "it is 32-bit FLAC, which cannot be read");
  const QByteArray wideBytes = ReadBytes(wide);
  WriteBytes(dir.file("wide-bare.flac"), wideBytes.mid(wideBytes.indexOf("\xff\xf8", 4)));
  ExpectOpenError(dir.fileStd("wide-bare.flac"), "it is 32-bit FLAC, which cannot be read");
}

// A name that is not UTF-8 is opened by its bytes.
TEST(SourceEdges, NonUtf8NamesOpen) {
  TempDir dir;
  const std::string name = dir.fileStd("caf") + "\xe9 \xff.wav";
  const QByteArray bytes = ReadBytes(ChirpFixture("chirp1.wav", 1.0, 44100, 2));
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, bytes.constData(), static_cast<std::size_t>(bytes.size())), bytes.size());
  ::close(fd);
  SourceDecoder d(name);
  EXPECT_EQ(d.LengthFrames(), 44100);
}

// A sparse 16-bit mono WAV at 200 kHz with more than 2^31 frames (its size
// field says "to the end of the file", as a long recording's does).
TEST(SourceEdges, WavOverTwoBillionFramesIsMeasuredExactly) {
  TempDir dir;
  const std::int64_t frames = (std::int64_t{1} << 31) + 4410;
  const QString path = dir.file("long.wav");
  WriteBytes(path, WavHeader(200000, 1, 0xFFFFFFFFu));
  ASSERT_EQ(::truncate(path.toLocal8Bit().constData(), 44 + frames * 2), 0);
  SourceDecoder d(path.toStdString());
  EXPECT_EQ(d.LengthFrames(), frames);
  d.Seek(frames - 100);
  std::vector<float> tail;
  EXPECT_EQ(d.Read(1000, tail), 100u);
  EXPECT_EQ(d.Position(), frames);
}

}  // namespace
}  // namespace snipwave::test
