// Cue sheets and label files on the command line: a recording cut into its
// tracks, sheets written and cut again to the same frames, bad files refused.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "Commands.h"
#include "TempDir.h"

namespace snipwave::test {
namespace {

const QString kProgram = QStringLiteral(SNIPWAVE_RUNTIME_DIR "/snipwave");
constexpr int kRate = 44100;
constexpr int kChannels = 2;

class SheetCommands : public ::testing::Test {
 protected:
  SheetCommands() {
    qputenv("SNIPWAVE_CONFIG_DIR", dir.file("config").toUtf8());
    QDir().mkdir(dir.file("config"));
  }
  CommandResult Run(const QStringList& args) { return RunCommand(kProgram, args); }
  void Write(const QString& name, const QByteArray& bytes) {
    QFile f(dir.file(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  // Cuts to WAV into a fresh folder; each written file's samples in row order.
  std::vector<std::vector<float>> Cut(const QStringList& args) {
    const QString out = dir.file(QString("out%1").arg(++cuts));
    const CommandResult r = Run(QStringList{"cut", "--format", "wav", "--out", out} + args);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    std::vector<std::vector<float>> decoded;
    for (const QString& line : QString::fromUtf8(r.out).split('\n', Qt::SkipEmptyParts))
      decoded.push_back(DecodeWithFfmpeg(line));
    return decoded;
  }
  // Each part must be exactly frames [begin, end) of the source.
  void ExpectRanges(const std::vector<std::vector<float>>& parts,
                    const std::vector<std::pair<std::int64_t, std::int64_t>>& ranges) {
    ASSERT_EQ(parts.size(), ranges.size());
    for (std::size_t i = 0; i < parts.size(); ++i) {
      SCOPED_TRACE(i);
      const auto [begin, end] = ranges[i];
      ASSERT_EQ(parts[i].size(), static_cast<std::size_t>((end - begin) * kChannels));
      for (std::size_t k = 0; k < parts[i].size(); ++k)
        ASSERT_NEAR(parts[i][k], source[begin * kChannels + k], 1.01f / 32768) << "element " << k;
    }
  }

  TempDir dir;
  const QString wav = ChirpFixture("sheet-src.wav", 3.0, kRate, kChannels);
  const std::vector<float> source = DecodeWithFfmpeg(wav);
  int cuts = 0;
};

TEST_F(SheetCommands, ARecordingIsCutIntoTheTracksOfItsSheet) {
  // The sheet names a FLAC; beside it lies the WAV decoded from it. Latin-1,
  // CR LF, an INDEX 00 that stays with the track before.
  ASSERT_TRUE(QFile::copy(wav, dir.file("Rec.wav")));
  Write("rec.cue",
        "REM GENRE Live\r\nPERFORMER \"B\xE9la\"\r\nTITLE \"Set\"\r\nFILE \"Rec.flac\" WAVE\r\n"
        "  TRACK 01 AUDIO\r\n    TITLE \"One\"\r\n    INDEX 01 00:00:00\r\n"
        "  TRACK 02 AUDIO\r\n    TITLE \"Two\"\r\n    INDEX 00 00:01:00\r\n    INDEX 01 00:01:10\r\n"
        "  TRACK 03 AUDIO\r\n    INDEX 01 00:02:00\r\n");
  ExpectRanges(Cut({"--cue", dir.file("rec.cue")}), {{0, 85 * 588}, {85 * 588, 2 * kRate}, {2 * kRate, 3 * kRate}});
}

TEST_F(SheetCommands, ARippersSheetCutsEveryAudioTrackAndNamesTheDataTrackSkipped) {
  // Tracks in FLACs under Album/, the sheet naming the WAVs of the rip with
  // Windows folders; an enhanced CD's data track after the audio.
  ASSERT_TRUE(QDir(dir.path()).mkdir("Album"));
  Ffmpeg({"-i", wav, "-af", "atrim=end_sample=66150", dir.file("Album/01 Song.flac")});
  Ffmpeg({"-i", wav, "-af", "atrim=start_sample=66150:end_sample=132300", dir.file("Album/02 Other.flac")});
  Write("rip.cue",
        "REM GENRE Rock\r\nREM DATE 2003\r\nREM DISCID 2A0B0C0D\r\nREM COMMENT \"ExactAudioCopy v1.6\"\r\n"
        "CATALOG 0000000000000\r\nPERFORMER \"Band\"\r\nTITLE \"Enhanced\"\r\nFILE \"Album\\01 Song.wav\" WAVE\r\n"
        "  TRACK 01 AUDIO\r\n    TITLE \"Song\"\r\n    FLAGS DCP\r\n    ISRC ABCDE1234567\r\n    INDEX 01 00:00:00\r\n"
        "  TRACK 02 AUDIO\r\n    TITLE \"Other\"\r\n    INDEX 00 00:01:00\r\n"
        "FILE \"Album\\02 Other.wav\" WAVE\r\n    INDEX 01 00:00:00\r\n"
        "  TRACK 03 AUDIO\r\n    TITLE \"Third\"\r\n    INDEX 01 00:00:30\r\n"
        "  TRACK 04 MODE1/2352\r\n    INDEX 01 00:03:00\r\n");
  const QString out = dir.file("rip-out");
  const CommandResult r = Run({"cut", "--format", "wav", "--out", out, "--cue", dir.file("rip.cue")});
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains("Track 4 is a data track (MODE1/2352) and was skipped.")) << r.err.toStdString();
  std::vector<std::vector<float>> parts;
  for (const QString& line : QString::fromUtf8(r.out).split('\n', Qt::SkipEmptyParts)) parts.push_back(DecodeWithFfmpeg(line));
  // The INDEX 00 of track 2 stays with track 1; the data track's start, past
  // the end of the audio file, ends track 3 at that file's end.
  ExpectRanges(parts, {{0, 66150}, {66150, 66150 + 30 * 588}, {66150 + 30 * 588, 132300}});

  // Each FILE line is a file of its own, also when it names one named before.
  ASSERT_TRUE(QFile::copy(wav, dir.file("Rec.wav")));
  Write("twice.cue", "FILE Rec.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nFILE Rec.wav WAVE\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n");
  ExpectRanges(Cut({"--cue", dir.file("twice.cue")}), {{0, 3 * kRate}, {0, 3 * kRate}});
}

TEST_F(SheetCommands, WrittenSheetsAndLabelsCutToTheSameFrames) {
  // Label files keep every frame; a cue sheet the nearest 1/75 s (exact here).
  const QStringList ranges = {wav + "@1001:50000", wav + "@50000:100001"};
  const CommandResult labels = Run(QStringList{"labels", "--out", dir.file("l.txt")} + ranges);
  ASSERT_EQ(labels.exitCode, 0) << labels.err.toStdString();
  ExpectRanges(Cut({"--labels", dir.file("l.txt"), wav}), {{1001, 50000}, {50000, 100001}});

  const CommandResult cue = Run({"cue", "--out", dir.file("s.cue"), wav + "@0:44100", wav + "@44100:88200", wav + "@88200:"});
  ASSERT_EQ(cue.exitCode, 0) << cue.err.toStdString();
  EXPECT_TRUE(cue.err.isEmpty()) << cue.err.toStdString();
  ExpectRanges(Cut({"--cue", dir.file("s.cue")}), {{0, kRate}, {kRate, 2 * kRate}, {2 * kRate, 3 * kRate}});

  const CommandResult moved = Run(QStringList{"cue", "--out", dir.file("m.cue")} + ranges);
  ASSERT_EQ(moved.exitCode, 0) << moved.err.toStdString();
  EXPECT_TRUE(moved.err.contains("2 of 2 track starts moved")) << moved.err.toStdString();
  EXPECT_TRUE(moved.err.contains("is not kept")) << moved.err.toStdString();
}

TEST_F(SheetCommands, BadFilesAndArgumentsWriteNothingAndSayWhy) {
  Write("bad.cue", "this is no sheet\n");
  Write("gone.cue", "FILE \"gone.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
  Write("bad.txt", "1.0\t2,0\tcomma\n");
  QByteArray hundred = "FILE \"sheet-src.wav\" WAVE\n";
  for (int i = 1; i <= 100; ++i) hundred += QString("TRACK %1 AUDIO\nINDEX 01 00:00:%2\n").arg(i).arg(i).toUtf8();
  Write("hundred.cue", hundred);
  Write("quote.cue", "FILE a.wav WAVE\nTRACK 01 AUDIO\nTITLE \"One\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nTITLE \"\nINDEX 01 00:01:00\n");
  Write("minus.cue", "FILE \"sheet-src.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 -1:00:00\n");
  Write("files.cue", QByteArray("FILE a.wav WAVE\n").repeated(2000) + "TRACK 01 AUDIO\nINDEX 01 00:00:00\n");
  Write("huge.txt", QByteArray("0.5\t1.5\tlabel\n").repeated(80000));
  const struct {
    QStringList args;
    int status;
    const char* says;
  } cases[] = {
      {{"--cue", dir.file("bad.cue")}, 1, "line 1: \"this\" is not a cue sheet command"},
      {{"--cue", dir.file("gone.cue")}, 1, "\"gone.wav\" of the sheet is not in"},
      {{"--labels", dir.file("bad.txt"), wav}, 1, "line 1: \"2,0\" is not a time"},
      {{"--cue", dir.file("bad.cue"), wav}, 2, "no PATH can be given"},
      // Sheets libcue would merge or misread, its own lines printed beside exit 0.
      {{"--cue", dir.file("hundred.cue")}, 1, "line 200: the sheet lists more than 99 tracks"},
      {{"--cue", dir.file("quote.cue")}, 1, "line 3: its quotation mark (\") is not closed"},
      {{"--cue", dir.file("minus.cue")}, 1, "line 5: track 2's INDEX 01 \"-1:00:00\" is not a time"},
      {{"--cue", dir.file("files.cue")}, 1, "line 1: no TRACK follows this FILE"},
      {{"--labels", dir.file("huge.txt"), wav}, 1, "bytes long, more than a label file can be"},
      {{"--labels", dir.file("bad.txt")}, 2, "exactly one SOURCE"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.says);
    const CommandResult r = Run(QStringList{"cut", "--out", dir.file("out")} + c.args);
    EXPECT_EQ(r.exitCode, c.status);
    EXPECT_TRUE(r.err.contains(c.says)) << r.err.toStdString();
    for (const char* libcue : {"syntax error", "bad character", "too many"}) EXPECT_FALSE(r.err.contains(libcue));
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(dir.file("out")));
  }
  const CommandResult twoSources = Run({"labels", "--out", dir.file("x.txt"), wav, dir.file("rec.cue")});
  EXPECT_EQ(twoSources.exitCode, 2);
  EXPECT_FALSE(QFileInfo::exists(dir.file("x.txt")));
}

}  // namespace
}  // namespace snipwave::test
