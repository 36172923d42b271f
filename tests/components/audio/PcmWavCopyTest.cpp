#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "Commands.h"
#include "FileContents.h"
#include "TempDir.h"
#include "components/audio/PcmWavCopy.h"
#include "components/audio/TAudioFile2.h"
#include "components/tags/TagReader.h"
#include "components/tags/TagWriter.h"
#include "platform/Error.h"

// A PCM range written as a byte copy must be, to every decoder, exactly the
// source's frames of that range; these tests decode both sides with ffmpeg.
namespace snipwave::test {
namespace {

using audio::CopyPcmWavRange;
using audio::PcmWavLayout;
using audio::ReadPcmWavLayout;

QString Copied(const QString& from, const TempDir& dir, const QString& name) {
  const QString path = dir.file(name);
  EXPECT_TRUE(QFile::copy(from, path));
  return path;
}

// A sox-made file (sox writes its own header: a "fact" chunk, its own choice
// of format tag), cached like the ffmpeg fixtures.
QString SoxFixture(const QString& name, const QStringList& format, const QStringList& effects) {
  const QString path = QDir(QFileInfo(Fixture("sox-anchor.wav", {"-f", "lavfi", "-i", "anullsrc=d=0.01"})).path())
                           .filePath("sox-" + name);
  if (QFileInfo::exists(path)) return path;
  const QString temp = QString("%1.%2.part.wav").arg(path).arg(QCoreApplication::applicationPid());
  const CommandResult r = RunCommand("sox", QStringList{"-n"} + format + QStringList{temp} + effects);
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  PublishFile(temp, path);
  return path;
}

// Six channels, each its own tone, so that a channel shifted in the copy shows.
QString SixChannels24() {
  return Fixture("pcm-s24-6ch.wav",
                 {"-f", "lavfi", "-i",
                  "aevalsrc=exprs='0.5*sin(2*PI*200*t)|0.4*sin(2*PI*310*t)|0.3*sin(2*PI*420*t)|"
                  "0.2*sin(2*PI*50*t)|0.45*sin(2*PI*530*t)|0.35*sin(2*PI*640*t)':c=5.1:s=48000:d=2",
                  "-c:a", "pcm_s24le"});
}

std::vector<float> Slice(const std::vector<float>& all, int channels, std::int64_t begin, std::int64_t end) {
  return {all.begin() + begin * channels, all.begin() + end * channels};
}

// The output holds exactly frames [begin, end) of the source, by ffmpeg, sox and our reader.
void ExpectRangeOf(const QString& output, const std::vector<float>& source, int channels, std::int64_t begin,
                   std::int64_t end) {
  const std::vector<float> got = DecodeWithFfmpeg(output);
  ASSERT_EQ(got.size(), static_cast<std::size_t>((end - begin) * channels));
  EXPECT_TRUE(got == Slice(source, channels, begin, end)) << "copied samples differ from the source's range";
  const CommandResult sox = RunCommand("soxi", {"-s", output});
  EXPECT_EQ(sox.exitCode, 0) << sox.err.toStdString();
  EXPECT_EQ(sox.out.trimmed().toLongLong(), end - begin);
  TAudioFile2 reader;
  reader.OpenFile(output.toStdString(), 0, 1);
  EXPECT_EQ(reader.LengthSamples(), end - begin);
}

struct CopyCase {
  const char* name;
  QString (*source)();
  int rate, channels, bits;
  const char* codec;  // as ffprobe names the output's codec
};

void PrintTo(const CopyCase& c, std::ostream* os) { *os << c.name; }

class PcmWavCopy : public ::testing::TestWithParam<CopyCase> {};

// Layout, content by three decoders, the format kept, and the tag writer
// still able to tag the copy without touching its samples. Ranges start and
// end off any block edge; the 8-bit mono range has an odd byte count (pad byte).
TEST_P(PcmWavCopy, RangeIsTheSourcesFramesAndTakesTags) {
  const CopyCase& c = GetParam();
  const QString source = c.source();
  const std::optional<PcmWavLayout> layout = ReadPcmWavLayout(source);
  ASSERT_TRUE(layout);
  const std::vector<float> all = DecodeWithFfmpeg(source);
  EXPECT_EQ(layout->sampleRate, c.rate);
  EXPECT_EQ(layout->channels, c.channels);
  EXPECT_EQ(layout->bitsPerSample, c.bits);
  EXPECT_EQ(layout->blockAlign, c.channels * c.bits / 8);
  ASSERT_EQ(static_cast<std::size_t>(layout->frames * c.channels), all.size());

  TempDir dir;
  const QString out = dir.file("range.wav");
  const std::int64_t begin = 1237, end = layout->frames - 4322;
  EXPECT_EQ(CopyPcmWavRange(*layout, source, begin, end, out), end - begin);
  ExpectRangeOf(out, all, c.channels, begin, end);
  const ProbeInfo probe = FfprobeInfo(out);
  EXPECT_EQ(probe.codec, c.codec);
  EXPECT_EQ(probe.sampleRate, c.rate);
  // No encoder INFO or other chunk: the header is exactly RIFF, fmt, data.
  const bool extensible = c.channels > 2 || c.bits > 16;
  const std::int64_t dataBytes = (end - begin) * layout->blockAlign;
  EXPECT_EQ(QFileInfo(out).size(), (extensible ? 68 : 44) + dataBytes + (dataBytes & 1));

  TagSet tags;
  tags.Set(TagField::Title, "Range");
  tags.Set(TagField::Artist, "Snipwave");
  TagLibWriter().WriteTags(out, tags);
  EXPECT_EQ(ReadTags(out).Get(TagField::Title), "Range");
  ExpectRangeOf(out, all, c.channels, begin, end);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, PcmWavCopy,
    ::testing::Values(
        CopyCase{"S16Stereo", [] { return ChirpFixture("pcm-s16-stereo.wav", 3.0, 44100, 2, {"-c:a", "pcm_s16le"}); },
                 44100, 2, 16, "pcm_s16le"},
        CopyCase{"U8MonoBySox",
                 [] {
                   return SoxFixture("u8-mono.wav", {"-r", "22050", "-c", "1", "-b", "8", "-e", "unsigned-integer"},
                                     {"synth", "2", "sine", "300-3000", "gain", "-3"});
                 },
                 22050, 1, 8, "pcm_u8"},
        CopyCase{"S24SixChannels", &SixChannels24, 48000, 6, 24, "pcm_s24le"},
        CopyCase{"S32StereoExtensible",
                 [] { return ChirpFixture("pcm-s32-stereo.wav", 2.0, 44100, 2, {"-c:a", "pcm_s32le"}); }, 44100, 2,
                 32, "pcm_s32le"}),
    [](const auto& info) { return std::string(info.param.name); });

QString S16Stereo() { return ChirpFixture("pcm-s16-stereo.wav", 3.0, 44100, 2, {"-c:a", "pcm_s16le"}); }

// Anything but plain integer PCM, and any header that cannot be trusted, is
// left to the decoding path.
TEST(PcmWavLayoutRefused, NonPcmAndBrokenHeaders) {
  TempDir dir;
  const QByteArray s16 = ReadAll(S16Stereo());
  const auto withBytes = [&dir](const QString& name, const QByteArray& bytes) {
    const QString path = dir.file(name);
    WriteAll(path, bytes);
    return path;
  };
  QByteArray badAlign = s16;
  badAlign[32] = 3;  // block align 3 for 16-bit stereo
  const std::vector<std::pair<const char*, QString>> refused = {
      {"float", ChirpFixture("pcm-f32-mono.wav", 1.0, 44100, 1, {"-c:a", "pcm_f32le"})},
      {"ADPCM", ChirpFixture("adpcm-ima.wav", 1.0, 44100, 2, {"-c:a", "adpcm_ima_wav"})},
      {"A-law", ChirpFixture("alaw-mono.wav", 1.0, 8000, 1, {"-c:a", "pcm_alaw"})},
      {"RF64", ChirpFixture("rf64.wav", 1.0, 44100, 2, {"-c:a", "pcm_s16le", "-rf64", "always"})},
      {"header cut short", withBytes("short.wav", s16.left(30))},
      {"no data chunk", withBytes("nodata.wav", s16.left(36))},
      {"block align not channels x bytes", withBytes("align.wav", badAlign)},
      {"not RIFF", withBytes("text.wav", "just some text, not a wave file at all.........")},
      {"a folder", dir.path()},
      {"missing", dir.file("missing.wav")},
  };
  for (const auto& [what, path] : refused) EXPECT_FALSE(ReadPcmWavLayout(path)) << what;
}

// A source shorter than its header's data size (mid-frame), cut before its
// layout is read or while the copy is under way: the copy ends at the last
// whole frame the file holds and the output's header says so.
TEST(PcmWavCopyShortSource, EndsAtTheLastWholeFrameHeld) {
  const std::vector<float> all = DecodeWithFfmpeg(S16Stereo());
  for (const bool beforeLayout : {true, false}) {
    SCOPED_TRACE(beforeLayout ? "cut before the layout is read" : "cut after");
    TempDir dir;
    const QString source = Copied(S16Stereo(), dir, "source.wav");
    const std::optional<PcmWavLayout> full = ReadPcmWavLayout(source);
    ASSERT_TRUE(full);
    constexpr std::int64_t kHeld = 60000;
    ASSERT_EQ(::truncate(source.toLocal8Bit().constData(), full->dataOffset + kHeld * 4 + 3), 0);
    const std::optional<PcmWavLayout> layout = beforeLayout ? ReadPcmWavLayout(source) : full;
    ASSERT_TRUE(layout);
    if (beforeLayout) EXPECT_EQ(layout->frames, kHeld);
    const QString out = dir.file("out.wav");
    EXPECT_EQ(CopyPcmWavRange(*layout, source, 100, full->frames, out), kHeld - 100);
    ExpectRangeOf(out, all, 2, 100, kHeld);
  }
}

// An existing, longer output is replaced, not written over in part.
TEST(PcmWavCopyShortSource, ReplacesALongerExistingOutput) {
  TempDir dir;
  const std::optional<PcmWavLayout> layout = ReadPcmWavLayout(S16Stereo());
  ASSERT_TRUE(layout);
  const QString out = dir.file("out.wav");
  WriteAll(out, QByteArray(4 << 20, 'x'));
  EXPECT_EQ(CopyPcmWavRange(*layout, S16Stereo(), 10, 20010, out), 20000);
  EXPECT_EQ(QFileInfo(out).size(), 44 + 20000 * 4);
  ExpectRangeOf(out, DecodeWithFfmpeg(S16Stereo()), 2, 10, 20010);
}

// Where the kernel cannot copy between the two files (tmpfs to the test
// folder's file system), the same bytes arrive by read and write.
TEST(PcmWavCopyAcrossFileSystems, FallsBackToReadAndWrite) {
  if (!QFileInfo(QStringLiteral("/dev/shm")).isWritable()) GTEST_SKIP() << "no /dev/shm";
  TempDir dir;
  const QString source = QStringLiteral("/dev/shm/snipwave-copy-%1.wav").arg(::getpid());
  ASSERT_TRUE(QFile::copy(SixChannels24(), source));
  const std::optional<PcmWavLayout> layout = ReadPcmWavLayout(source);
  ASSERT_TRUE(layout);
  const QString out = dir.file("out.wav");
  const std::int64_t written = CopyPcmWavRange(*layout, source, 3, layout->frames - 5, out);
  const std::vector<float> all = DecodeWithFfmpeg(source);
  QFile::remove(source);
  EXPECT_EQ(written, layout->frames - 8);
  ExpectRangeOf(out, all, 6, 3, layout->frames - 5);
}

// 16 MiB blocks: 12 s of 8-channel 32-bit audio is more than one. A stop
// after the first leaves a valid file of exactly that block's frames.
TEST(PcmWavCopyStop, StopAfterFirstBlockLeavesAValidShorterFile) {
  const QString source =
      Fixture("pcm-s32-8ch-12s.wav", {"-f", "lavfi", "-i", "sine=f=330:r=48000:d=12", "-filter_complex",
                                      "[0:a]pan=7.1|c0=c0|c1=0.9*c0|c2=0.8*c0|c3=0.7*c0|c4=0.6*c0|c5=0.5*c0|c6=0.4*c0|"
                                      "c7=0.3*c0",
                                      "-c:a", "pcm_s32le"});
  const std::optional<PcmWavLayout> layout = ReadPcmWavLayout(source);
  ASSERT_TRUE(layout);
  ASSERT_EQ(layout->blockAlign, 32);
  constexpr std::int64_t kBlockFrames = (16 << 20) / 32;
  ASSERT_GT(layout->frames, kBlockFrames + 1000);
  TempDir dir;
  const QString out = dir.file("stopped.wav");
  std::vector<std::int64_t> asked;
  const std::int64_t written = CopyPcmWavRange(*layout, source, 999, layout->frames, out, [&asked](std::int64_t done) {
    asked.push_back(done);
    return false;
  });
  EXPECT_EQ(asked, std::vector<std::int64_t>{kBlockFrames});
  EXPECT_EQ(written, kBlockFrames);
  ExpectRangeOf(out, DecodeWithFfmpeg(source), 8, 999, 999 + kBlockFrames);
}

// Failures name the output and leave no file; the source is never touched.
TEST(PcmWavCopyFailure, UnwritableOutputsAreErrorsNamingThePath) {
  TempDir dir;
  const QString source = Copied(S16Stereo(), dir, "source.wav");
  const QByteArray sourceBytes = ReadAll(source);
  const std::optional<PcmWavLayout> layout = ReadPcmWavLayout(source);
  ASSERT_TRUE(layout);
  ASSERT_TRUE(QDir(dir.path()).mkdir("folder.wav"));
  WriteAll(dir.file("plain"), "a file");
  const std::vector<std::pair<QString, const char*>> outputs = {
      {dir.file("folder.wav"), "Is a directory"},
      {dir.file("plain/out.wav"), "Not a directory"},
      {source, "the source file itself"},
  };
  for (const auto& [out, reason] : outputs) {
    try {
      CopyPcmWavRange(*layout, source, 0, 1000, out);
      ADD_FAILURE() << "no error for " << out.toStdString();
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find(out.toStdString()), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(reason), std::string::npos) << e.what();
    }
  }
  EXPECT_EQ(ReadAll(source), sourceBytes);
  EXPECT_THROW(CopyPcmWavRange(*layout, source, 500, 499, dir.file("x.wav")), Error);
  EXPECT_FALSE(QFileInfo::exists(dir.file("x.wav")));
}

// A file-size limit (as a full disk) in mid-copy, in a child process.
TEST(PcmWavCopyFailure, FileSizeLimitIsAnErrorAndLeavesNoFile) {
  TempDir dir;
  const QString source = S16Stereo();
  const std::optional<PcmWavLayout> layout = ReadPcmWavLayout(source);
  ASSERT_TRUE(layout);
  const QString out = dir.file("limited.wav");
  const pid_t child = fork();
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{100000, 100000};
    setrlimit(RLIMIT_FSIZE, &limit);
    try {
      CopyPcmWavRange(*layout, source, 0, layout->frames, out);
    } catch (const Error& e) {
      const std::string text = e.what();
      _exit(text.find(out.toStdString()) != std::string::npos && text.find("File too large") != std::string::npos ? 0
                                                                                                                  : 2);
    }
    _exit(1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: no error, 2: the error names neither the file nor the reason";
  EXPECT_FALSE(QFileInfo::exists(out));
}

}  // namespace
}  // namespace snipwave::test
