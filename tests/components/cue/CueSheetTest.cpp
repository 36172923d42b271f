// Cue sheets as found in the world (byte order marks, Latin-1, CR LF, pregaps,
// several FILEs), sheets that must be refused, and sheets written and read back.
#include <gtest/gtest.h>

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryFile>
#include <atomic>
#include <cstdio>
#include <thread>

#include "TempDir.h"
#include "components/cue/CueAudioFile.h"
#include "components/cue/CueSheet.h"
#include "components/cue/CueTime.h"
#include "components/cue/CueWriter.h"
#include "components/cue/LibcueParse.h"
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
    const std::vector<CueTrack> read = ParseCueSheet(sheet.bytes).tracks;
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
  const std::vector<CueTrack> tracks = ParseCueSheet(sheet).tracks;
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

QByteArray HundredTracks() {
  QByteArray sheet = "FILE a.wav WAVE\n";
  for (int i = 0; i < 100; ++i) sheet += QStringLiteral("TRACK %1 AUDIO\nINDEX 01 %2:00:00\n").arg(i + 1).arg(i).toUtf8();
  return sheet;
}

TEST(CueSheet, RippersSheetsGiveTheirAudioTracksAndNameTheDataTracksLeftOut) {
  const struct {
    const char* name;
    QByteArray bytes;
    std::vector<Expected> tracks;
    std::vector<bool> endAtMost;
    QStringList notes;
  } sheets[] = {
      // An enhanced CD ripped to one image: the data track's start ends the
      // audio before it, at most (the image holds the audio only).
      {"data track in the audio FILE",
       "REM DISCID 0A0B0C0D\nREM COMMENT \"ExactAudioCopy v1.6\"\nCATALOG 0000000000000\nFILE \"Album\\Range.wav\" WAVE\n"
       "  TRACK 01 AUDIO\n    FLAGS DCP\n    ISRC ABCDE1234567\n    INDEX 01 00:00:00\n"
       "  TRACK 02 AUDIO\n    INDEX 00 00:59:00\n    INDEX 01 01:00:00\n"
       "  TRACK 03 MODE1/2352\n    TITLE \"Data\"\n    INDEX 01 03:00:00\n",
       {{"Album\\Range.wav", 0, 4500, ""}, {"Album\\Range.wav", 4500, 13500, ""}},
       {false, true},
       {"Track 3 is a data track (MODE1/2352) and was skipped."}},
      // Modes libcue does not know, a data track first, a FILE of its own.
      {"data tracks in FILEs of their own",
       "FILE disc.bin BINARY\nTRACK 01 CDI/2352\nINDEX 01 00:00:00\nFILE a.wav WAVE\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n"
       "FILE extra.bin BINARY\nTRACK 03 MODE2/2324\nINDEX 01 00:00:00\n",
       {{"a.wav", 0, -1, ""}},
       {false},
       {"Track 1 is a data track (CDI/2352) and was skipped.", "Track 3 is a data track (MODE2/2324) and was skipped."}},
      // Each FILE line is a file of its own, also when it names one named before.
      {"the same FILE twice",
       "FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nFILE \"a.wav\" WAVE\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n",
       {{"a.wav", 0, -1, ""}, {"a.wav", 0, -1, ""}},
       {false, false},
       {}},
      // Hand-written: lower case, texts without or with inner quotation
      // marks, a title ending in a backslash, no line end at the end.
      {"hand-written",
       "file a.wav wave\ntrack 01 audio\ntitle My Song\nindex 01 00:00:00\n"
       "track 02 audio\ntitle \"The \"Best\" Song\"\nindex 01 00:01:00\ntrack 03 audio\ntitle \"Back\\\"\n"
       "performer \"P\"\nindex 01 00:02:00",
       {{"a.wav", 0, 75, "My Song"}, {"a.wav", 75, 150, "The 'Best' Song"}, {"a.wav", 150, -1, "Back\\"}},
       {false, false, false},
       {}},
  };
  for (const auto& sheet : sheets) {
    SCOPED_TRACE(sheet.name);
    const CueSheet read = ParseCueSheet(sheet.bytes);
    EXPECT_EQ(read.notes, sheet.notes);
    ASSERT_EQ(read.tracks.size(), sheet.tracks.size());
    for (std::size_t i = 0; i < read.tracks.size(); ++i) {
      EXPECT_EQ(read.tracks[i].file, sheet.tracks[i].file);
      EXPECT_EQ(read.tracks[i].start, sheet.tracks[i].start);
      EXPECT_EQ(read.tracks[i].end, sheet.tracks[i].end);
      EXPECT_EQ(read.tracks[i].endAtMost, sheet.endAtMost[i]);
      EXPECT_EQ(read.tracks[i].title, sheet.tracks[i].title);
    }
  }
  const CueSheet last = ParseCueSheet(sheets[3].bytes);
  EXPECT_EQ(last.tracks[2].tags.Get(TagField::Artist), "P");
}

TEST(CueSheet, MalformedSheetsAreRefusedWithTheReason) {
  const struct {
    QByteArray bytes;
    const char* reason;
  } cases[] = {
      {"", "lists no TRACK"},
      {QByteArray(4096, '\xFF'), "line 1: \"\u00FF\u00FF"},
      {"TITLE \"x\"\n", "lists no TRACK"},
      {"FILE a.wav WAVE\nTRACK 01 AUDIO\nINDEX 00 00:00:00\n", "track 1 has no INDEX 01"},
      {"FILE a.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:05:00\nTRACK 02 AUDIO\nINDEX 01 00:01:00\n", "before track 1"},
      {"FILE a.bin BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\n", "no audio track (track 1 is a data track"},
      {QByteArray("FILE a.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n\0x", 51), "NUL"},
      // What libcue would merge, swallow or misread without a word to the caller.
      {HundredTracks(), "line 200: the sheet lists more than 99 tracks"},
      {"FILE a.wav WAVE\nTRACK 01 AUDIO\nTITLE \"One\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nTITLE \"Two\"\nINDEX 01 01:00:00\n",
       "line 3: its quotation mark"},
      {"FILE a.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 -1:00:00\n",
       "line 5: track 2's INDEX 01 \"-1:00:00\" is not a time"},
      {QByteArray("FILE a.wav WAVE\n").repeated(2000) + "TRACK 01 AUDIO\nINDEX 01 00:00:00\n", "line 1: no TRACK follows"},
      {"FILE a.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRAK 02 AUDIO\nINDEX 01 01:00:00\n",
       "line 4: \"TRAK\" is not a cue sheet command"},
      {"FILE a.wav WAVE\nTRACK 01 AUIDO\nINDEX 01 00:00:00\n", "line 2: \"AUIDO\" is not a track mode"},
      {"TRACK 01 AUDIO\nINDEX 01 00:00:00\n", "line 1: TRACK comes before any FILE"},
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
  const std::vector<CueTrack> tracks =
      ParseCueSheet("FILE \"missing.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n").tracks;
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
  const std::vector<CueTrack> back = ParseCueSheet(exact.text).tracks;
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
  EXPECT_EQ(CueToSampleFrames(ParseCueSheet(rounded.text).tracks[1].start, 44100), 588 * 76);
}

TEST(CueSheet, LibcueIsCalledOneThreadAtATimeAndNeverPrints) {
  // Its parser lives in globals: sheets read at once on four threads must
  // each come back as written.
  std::vector<std::thread> threads;
  std::atomic<int> wrong{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &wrong] {
      const QByteArray sheet = QStringLiteral("FILE t%1.wav WAVE\nTRACK 01 AUDIO\nTITLE \"T%1\"\nINDEX 01 00:00:00\n"
                                              "TRACK 02 AUDIO\nINDEX 01 00:%1:00\n")
                                   .arg(t + 1, 2, 10, QLatin1Char('0'))
                                   .toUtf8();
      for (int i = 0; i < 1000; ++i) {
        const CueSheet read = ParseCueSheet(sheet);
        if (read.tracks.size() != 2 || read.tracks[1].start != 75 * (t + 1) ||
            read.tracks[0].title != QStringLiteral("T%1").arg(t + 1, 2, 10, QLatin1Char('0')))
          ++wrong;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong, 0);

  // What libcue prints comes back to the caller; stderr stays empty.
  QTemporaryFile err;
  ASSERT_TRUE(err.open());
  std::fflush(stderr);
  const int saved = ::dup(STDERR_FILENO);
  ::dup2(err.handle(), STDERR_FILENO);
  const LibcueParse parse = ParseWithLibcue("FILE a.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 -1:00:00\nBAD\n");
  std::fflush(stderr);
  ::dup2(saved, STDERR_FILENO);
  ::close(saved);
  EXPECT_EQ(QFile(err.fileName()).size(), 0);
  EXPECT_TRUE(parse.messages.contains("bad character '-'")) << parse.messages.join('|').toStdString();

  for (const char* line : {"12: syntax error", "bad character 'x'", "too many tracks", "too many indexes", ""})
    EXPECT_TRUE(IsLibcueMessage(line)) << line;
  for (const char* line : {"[flac @ 0x55d0] invalid sync code", "QObject::connect: no such signal", "bad character"})
    EXPECT_FALSE(IsLibcueMessage(line)) << line;
}

}  // namespace
}  // namespace snipwave
