// Cue sheets as found in the world (byte order marks, Latin-1, CR LF, pregaps,
// several FILEs), sheets that must be refused, and sheets written and read back.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "TempDir.h"
#include "components/cue/CueAudioFile.h"
#include "components/cue/CueSheet.h"
#include "components/cue/CueTime.h"
#include "components/cue/CueWriter.h"
#include "components/cue/SheetRows.h"
#include "platform/Error.h"

namespace snipwave {
namespace {

struct Expected {
  QString file;
  std::int64_t start;
  std::int64_t end;
  QString title;
};

struct RealSheet {
  const char* name;
  QByteArray bytes;
  std::vector<Expected> tracks;
};

const QByteArray kBody =
    "PERFORMER \"Band\"\r\nTITLE \"Live\"\r\nFILE \"set one.wav\" WAVE\r\n"
    "  TRACK 01 AUDIO\r\n    TITLE \"Intro\"\r\n    INDEX 01 00:00:00\r\n"
    "  TRACK 02 AUDIO\r\n    TITLE Song\r\n    PREGAP 00:01:00\r\n    INDEX 00 00:02:00\r\n    INDEX 01 00:03:10\r\n"
    "FILE second.flac WAVE\r\n  TRACK 03 AUDIO\r\n    INDEX 01 00:00:00\r\n"
    "  TRACK 04 AUDIO\r\n    TITLE \"Outro\"\r\n    INDEX 01 01:00:74\r\n";

QByteArray Utf16Le(const QByteArray& latin1) {
  QByteArray bytes("\xFF\xFE");
  for (const char c : latin1) bytes.append(c).append('\0');
  return bytes;
}

TEST(CueSheet, RealWorldSheetsGiveEachTrackItsIndex01ToTheNext) {
  const std::vector<Expected> tracks = {{"set one.wav", 0, 235, "Intro"},
                                        {"set one.wav", 235, -1, "Song"},  // INDEX 00 stays in track 1
                                        {"second.flac", 0, 4574, ""},
                                        {"second.flac", 4574, -1, "Outro"}};
  QByteArray lf = kBody;
  lf.replace("\r\n", "\n");
  const std::vector<RealSheet> sheets = {
      {"CR LF", kBody, tracks},
      {"LF with a byte order mark", "\xEF\xBB\xBF" + lf, tracks},
      {"CR only", QByteArray(kBody).replace("\r\n", "\r"), tracks},
      {"UTF-16 LE", Utf16Le(kBody), tracks},
      {"Latin-1 title", "FILE a.wav WAVE\nTRACK 01 AUDIO\nTITLE \"Caf\xE9\"\nINDEX 01 00:00:00\n",
       {{"a.wav", 0, -1, QString::fromUtf8("Café")}}},
      {"UTF-8 title", "FILE a.wav WAVE\nTRACK 01 AUDIO\nTITLE \"Caf\xC3\xA9\"\nINDEX 01 00:00:00\n",
       {{"a.wav", 0, -1, QString::fromUtf8("Café")}}},
  };
  for (const RealSheet& sheet : sheets) {
    SCOPED_TRACE(sheet.name);
    const std::vector<CueTrack> read = ParseCueSheet(sheet.bytes);
    ASSERT_EQ(read.size(), sheet.tracks.size());
    for (std::size_t i = 0; i < read.size(); ++i) {
      EXPECT_EQ(read[i].file, sheet.tracks[i].file);
      EXPECT_EQ(read[i].start, sheet.tracks[i].start);
      EXPECT_EQ(read[i].end, sheet.tracks[i].end);
      EXPECT_EQ(read[i].title, sheet.tracks[i].title);
    }
  }
}

TEST(CueSheet, TagsComeFromTheTrackAndTheSheet) {
  const QByteArray sheet =
      "REM GENRE \"Jazz Rock\"\nREM DATE 1999\nPERFORMER \"Band\"\nTITLE \"Album\"\nFILE a.wav WAVE\n"
      "TRACK 01 AUDIO\nTITLE \"One\"\nPERFORMER \"Guest\"\nINDEX 01 00:00:00\n"
      "TRACK 02 AUDIO\nTITLE \"Two\"\nREM GENRE Other\nINDEX 01 00:10:00\n";
  const std::vector<CueTrack> tracks = ParseCueSheet(sheet);
  ASSERT_EQ(tracks.size(), 2u);
  const TagSet& first = tracks[0].tags;
  EXPECT_EQ(first.Get(TagField::Title), "One");
  EXPECT_EQ(first.Get(TagField::Artist), "Guest");
  EXPECT_EQ(first.Get(TagField::AlbumArtist), "Band");
  EXPECT_EQ(first.Get(TagField::Album), "Album");
  EXPECT_EQ(first.Get(TagField::Date), "1999");
  EXPECT_EQ(first.Get(TagField::Genre), "Jazz Rock");  // the sheet's, not a track's REM
  EXPECT_EQ(first.Get(TagField::Track), "1");
  EXPECT_EQ(tracks[1].tags.Get(TagField::Artist), "Band");
  EXPECT_EQ(tracks[1].tags.Get(TagField::Track), "2");
}

TEST(CueSheet, MalformedSheetsAreRefusedWithTheReason) {
  const struct {
    QByteArray bytes;
    const char* reason;
  } cases[] = {
      {"", "cannot parse"},
      {QByteArray(4096, '\xFF'), "cannot parse"},
      {"TITLE \"x\"\n", "cannot parse"},
      {"FILE a.wav WAVE\nTRACK 01 AUDIO\nINDEX 00 00:00:00\n", "no INDEX 01"},
      {"FILE a.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:05:00\nTRACK 02 AUDIO\nINDEX 01 00:01:00\n", "before track 1"},
      {"FILE a.bin BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\n", "data track"},
      {QByteArray("FILE a.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n\0x", 51), "NUL"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    try {
      ParseCueSheet(c.bytes);
      ADD_FAILURE() << "accepted";
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
    }
  }
}

TEST(CueSheet, TimesMapToTheNearestFrameExactlyAtMultiplesOf75) {
  const struct {
    int rate;
    std::int64_t cue;
    std::int64_t frames;
  } cases[] = {{44100, 1, 588}, {44100, 4574, 4574 * 588}, {48000, 75 * 3600 + 1, 48000LL * 3600 + 640},
               {22050, 7, 2058}, {8000, 1, 107}, {11025, 2, 294}, {96000, 1LL << 40, (1LL << 40) * 1280}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rate);
    EXPECT_EQ(CueToSampleFrames(c.cue, c.rate), c.frames);
    EXPECT_EQ(SampleFramesToCue(c.frames, c.rate), c.cue);
  }
  EXPECT_EQ(CueTimeText(4574), "01:00:74");
  EXPECT_EQ(CueTimeText(75 * 60 * 125), "125:00:00");
}

TEST(CueSheet, FileIsFoundBesideTheSheetAlsoUnderAnotherExtension) {
  test::TempDir dir;
  QDir(dir.path()).mkdir("Album");
  for (const char* name : {"rip.flac", "rip.mp3", "rip.log", "other.wav", "Album/01 Song.flac", "02 Song.wav"})
    QFile(dir.file(name)).open(QIODevice::WriteOnly);
  // Windows folders as written, or their tail, under another extension.
  EXPECT_EQ(FindCueAudioFile(dir.path(), "Album\\01 Song.wav"), dir.file("Album/01 Song.flac"));
  EXPECT_EQ(FindCueAudioFile(dir.path(), "D:\\Rips\\Album\\01 Song.wav"), dir.file("Album/01 Song.flac"));
  EXPECT_EQ(FindCueAudioFile(dir.path(), "Other\\02 Song.flac"), dir.file("02 Song.wav"));
  EXPECT_EQ(FindCueAudioFile(dir.path(), "Album\\rip.wav"), dir.file("rip.mp3"));
  EXPECT_EQ(FindCueAudioFile(dir.path(), "other.wav"), dir.file("other.wav"));
  EXPECT_EQ(FindCueAudioFile(dir.path(), "C:\\Rips\\other.wav"), dir.file("other.wav"));
  EXPECT_EQ(FindCueAudioFile(dir.path(), "RIP.wav"), dir.file("rip.mp3"));  // one the reader reads first
  EXPECT_EQ(FindCueAudioFile(dir.path(), "missing.wav"), "");
  const std::vector<CueTrack> tracks = ParseCueSheet("FILE \"missing.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
  EXPECT_THROW(CueSheetRanges(tracks, dir.path()), Error);
}

TEST(CueSheet, WrittenSheetReadsBackToTheSameFramesAndSaysWhatMoved) {
  test::TempDir dir;
  const QString wav = dir.file("a.wav");
  const std::int64_t length = 44100 * 10;
  TagSet tags;
  tags.Set(TagField::Album, "Album \"Live\"");
  tags.Set(TagField::Artist, "Band");
  std::vector<SheetRow> rows = {{wav, 588 * 75, length, length, 44100, "Second", tags},
                                {wav, 0, 588 * 75, length, 44100, QString::fromUtf8("Fïrst"), tags}};
  const WrittenCueSheet exact = WriteCueSheet(rows, dir.path());
  EXPECT_TRUE(exact.notes.isEmpty()) << exact.notes.join('\n').toStdString();
  const std::vector<CueTrack> back = ParseCueSheet(exact.text);
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[0].file, "a.wav");  // relative to the sheet
  EXPECT_EQ(back[0].title, QString::fromUtf8("Fïrst"));
  EXPECT_EQ(CueToSampleFrames(back[1].start, 44100), 588 * 75);
  EXPECT_EQ(back[1].tags.Get(TagField::Album), "Album 'Live'");
  EXPECT_EQ(back[1].tags.Get(TagField::Artist), "Band");

  rows[0].begin = 588 * 75 + 300;  // past the middle of a 1/75 s: rounds up
  rows[1].end = 588 * 75 + 300;
  rows[0].end = length - 1;
  const WrittenCueSheet rounded = WriteCueSheet(rows, dir.path());
  ASSERT_EQ(rounded.notes.size(), 2);
  EXPECT_TRUE(rounded.notes[0].startsWith("1 of 2 track starts moved")) << rounded.notes[0].toStdString();
  EXPECT_TRUE(rounded.notes[1].contains("runs to the file's end")) << rounded.notes[1].toStdString();
  EXPECT_EQ(CueToSampleFrames(ParseCueSheet(rounded.text)[1].start, 44100), 588 * 76);
}

}  // namespace
}  // namespace snipwave
