// Adding real files, made with ffmpeg, through the real reader: lengths that
// match an independent decode, sizes of the files on disk, names with blanks
// and non-ASCII letters, and files the reader must refuse.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>
#include <unistd.h>

#include "Commands.h"
#include "FakeMainParts.h"
#include "FakeSkin.h"
#include "QStringPrinter.h"
#include "ScriptedDialogs.h"
#include "TempDir.h"
#include "components/audio/TAudioFile2.h"
#include "platform/FileNames.h"
#include "tracks/SizeText.h"
#include "tracks/TrackListCommands.h"
#include "tracks/TrackListWidget.h"

using namespace snipwave;
using namespace snipwave::test;

namespace {

struct RealBench {
  MainState state;
  TrackListWidget lv;
  FakeSkinWindow skin;
  ScriptedDialogs dialogs;
  RecordingLauncher launcher;
  CountingPump pump;
  TAudioFile2 reader;
  TempDir dir;
  TrackListCommands commands{state};

  RealBench() {
    skin.BindInto(state);
    state.lv = &lv;
    state.AudioFileRead = &reader;
    state.Dialogs = &dialogs;
    state.Launcher = &launcher;
    state.MessagePump = &pump;
    pump.runRealLoop = true;
    lv.show();
  }
  // A copy of a fixture under another name in the temporary folder.
  QString copyAs(const QString& fixture, const QString& name) {
    const QString path = dir.file(name);
    QFileInfo(path).dir().mkpath(".");
    EXPECT_TRUE(QFile::copy(fixture, path)) << name.toStdString();
    return path;
  }
};

// Frames of a full decode by the ffmpeg command-line tool.
std::int64_t DecodedFrames(const QString& path) {
  const ProbeInfo info = FfprobeInfo(path);
  return static_cast<std::int64_t>(DecodeWithFfmpeg(path).size()) / std::max(info.channels, 1);
}

QString Mp3Fixture() { return ChirpFixture("tracks-add.mp3", 3.0, 44100, 2); }
QString WavFixture() { return ChirpFixture("tracks-add.wav", 2.5, 22050, 1); }
QString OggFixture() { return ChirpFixture("tracks-add.ogg", 4.2, 48000, 2); }
QString WmaFixture() { return ChirpFixture("tracks-add.wma", 2.5, 44100, 2); }

TEST(RealReaderAdd, EveryFormatIsProbedWithItsOwnLengthSizeAndName) {
  RealBench b;
  const QStringList files{b.copyAs(Mp3Fixture(), "Mein Lied – Grüße.mp3"),
                          b.copyAs(WavFixture(), "две песни.WAV"),
                          b.copyAs(OggFixture(), "ogg file with spaces.ogg"),
                          b.copyAs(WmaFixture(), "日本語.wma")};
  b.dialogs.openAnswers.push_back(files);
  b.commands.AddFiles();

  ASSERT_EQ(b.lv.RowCount(), 4);
  EXPECT_EQ(b.state.TrackCount, 4);
  EXPECT_FALSE(b.reader.IsOpen());
  const std::int64_t sampleRates[] = {44100, 22050, 48000, 44100};
  const int seconds[] = {3, 2, 4, 2};
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(files[i].toStdString());
    const Timerec& r = b.state.TrackTable[static_cast<std::size_t>(i)];
    const TrackRowTexts row = b.lv.RowTexts(i);
    EXPECT_EQ(r.FilePath, files[i]);
    EXPECT_EQ(row.caption, QFileInfo(files[i]).fileName());
    EXPECT_EQ(row.cells[kSizeCell], "  " + MegabyteSizeText(QFileInfo(files[i]).size()));
    EXPECT_EQ(row.cells[kLengthCell], QString("  00:00:%1").arg(seconds[i], 2, 10, QChar('0')));
    EXPECT_EQ(r.RangeSeconds, seconds[i]);
    EXPECT_EQ(r.BeginSample, 0);
    EXPECT_EQ(r.EndSample, r.TotalSamples);
    // The length is what a full decode yields, and the duration matches it.
    EXPECT_EQ(r.TotalSamples, DecodedFrames(files[i]));
    EXPECT_NEAR(r.TotalMs, r.TotalSamples * 1000.0 / sampleRates[i], 2.0);
  }
  EXPECT_EQ(b.skin.object("alltime").shownText, "00:00:11");
  EXPECT_EQ(b.skin.object("end").shownText, "00:00:03");
  EXPECT_TRUE(b.dialogs.infoTexts().isEmpty());
}

TEST(RealReaderAdd, FilesTheReaderRefusesLeaveNoTrace) {
  RealBench b;
  const QString good = b.copyAs(WavFixture(), "good.wav");
  const QString noise = b.dir.file("noise.mp3");
  {
    QFile f(noise);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    QByteArray junk(200000, '\0');
    for (int i = 0; i < junk.size(); ++i) junk[i] = static_cast<char>((i * 7919) % 251);
    f.write(junk);
  }
  const QString text = b.dir.file("notes.WMA");
  {
    QFile f(text);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("this is not audio\n");
  }
  const QString empty = b.dir.file("empty.ogg");
  QFile(empty).open(QIODevice::WriteOnly);
  const QString good2 = b.copyAs(OggFixture(), "good two.ogg");
  const QString pipe = b.dir.file("pipe.mp3");
  ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);

  b.dialogs.openAnswers.push_back({good, noise, text, empty, pipe, good2});
  b.commands.AddFiles();
  EXPECT_EQ(b.lv.RowCount(), 2);
  EXPECT_TRUE(b.dialogs.infoTexts().isEmpty()) << "refused files are skipped without a message";
  EXPECT_EQ(b.state.TrackTable[1].FilePath, good2);
  EXPECT_EQ(b.lv.RowTexts(1).caption, "good two.ogg");
  EXPECT_FALSE(b.reader.IsOpen());
  // Only the ".WMA" asked; the answer was No.
  QStringList questions;
  for (const auto& s : b.dialogs.shown)
    if (s.kind == "yesno") questions << s.text;
  ASSERT_EQ(questions.size(), 1);
  EXPECT_TRUE(questions[0].startsWith(text + " can not be supported"));
}

TEST(RealReaderAdd, AFolderOfRealFilesWithUnusualNames) {
  RealBench b;
  b.copyAs(Mp3Fixture(), "music/Ünïcödé song.MP3");
  b.copyAs(WavFixture(), "music/a b c.wav");
  b.copyAs(WavFixture(), "music/deeper/skipped.wav");
  b.copyAs(WavFixture(), "music/readme.txt");
  b.dialogs.folderAnswers.push_back(b.dir.file("music"));
  b.commands.AddFolder();
  QStringList captions;
  for (int i = 0; i < b.lv.RowCount(); ++i) captions << b.lv.RowTexts(i).caption;
  captions.sort();
  EXPECT_EQ(captions, (QStringList{"a b c.wav", "Ünïcödé song.MP3"}));
  for (int i = 0; i < b.lv.RowCount(); ++i) {
    const Timerec& r = b.state.TrackTable[static_cast<std::size_t>(i)];
    EXPECT_EQ(QFileInfo(r.FilePath).fileName(), b.lv.RowTexts(i).caption);
    EXPECT_GT(r.TotalSamples, 0);
  }
  EXPECT_EQ(b.pump.calls, 4);
}

TEST(RealReaderAdd, APipeIsSkippedAtOnceAndANameThatIsNotUtf8IsAdded) {
  RealBench b;
  const QString good = b.copyAs(WavFixture(), "music/good.wav");
  const QByteArray folder = QFile::encodeName(b.dir.file("music"));
  ASSERT_EQ(::mkfifo(folder + "/x.wav", 0600), 0);  // opening it would wait for a writer forever
  ASSERT_EQ(::link(QFile::encodeName(good).constData(), folder + "/caf\xe9.wav"), 0);  // Latin-1 "é"
  b.dialogs.folderAnswers.push_back(b.dir.file("music"));
  b.commands.AddFolder();
  ASSERT_EQ(b.lv.RowCount(), 2);
  QStringList bytes;
  for (int i = 0; i < 2; ++i) {
    EXPECT_GT(b.state.TrackTable[static_cast<std::size_t>(i)].TotalSamples, 0);
    bytes << QString::fromLatin1(FileNameBytes(b.state.TrackTable[static_cast<std::size_t>(i)].FilePath).toHex());
  }
  bytes.sort();
  QStringList expected{QString::fromLatin1((folder + "/caf\xe9.wav").toHex()),
                       QString::fromLatin1((folder + "/good.wav").toHex())};
  expected.sort();
  EXPECT_EQ(bytes, expected);

  // The file dialog's way: the pipe is skipped there too.
  b.dialogs.openAnswers.push_back({QFile::decodeName(folder + "/x.wav")});
  b.commands.AddFiles();
  EXPECT_EQ(b.lv.RowCount(), 2);
  ::unlink(folder + "/caf\xe9.wav");  // Qt's own clean-up cannot name it
}

}  // namespace
