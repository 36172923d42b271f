// Cue sheets and label files through the window's File menu: imported rows
// with their exact marks, titles and tags, cut into their tracks; bad files
// changing nothing; exports that import back to the same rows.
#include <QDir>
#include <QFile>

#include "Commands.h"
#include "MainWindowFixture.h"
#include "components/cue/CueSheet.h"
#include "components/tags/TagReader.h"
#include "settings/SettingsKeys.h"
#include "shell/FormatChooser.h"
#include "tracks/ListSnapshot.h"

using namespace snipwave;
using namespace snipwave::test;

namespace {

class MainWindowSheets : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    ASSERT_TRUE(QFile::copy(ChirpFixture("sheets-src.wav", 3.0, 44100, 2), wav));
    const QByteArray sheet =
        "\xEF\xBB\xBFREM GENRE Live\r\nREM DATE 2001\r\nPERFORMER \"Band\"\r\nTITLE \"Set\"\r\nFILE \"rec.flac\" WAVE\r\n"
        "  TRACK 01 AUDIO\r\n    TITLE \"One\"\r\n    INDEX 01 00:00:10\r\n"
        "  TRACK 02 AUDIO\r\n    TITLE \"Two\"\r\n    INDEX 00 00:01:00\r\n    INDEX 01 00:01:10\r\n";
    Write("rec.cue", sheet);
    const std::function<void()> views = state().RowsChanged;
    state().RowsChanged = [this, views] {
      ++rowsChanged;
      if (views) views();
    };
  }
  void Write(const QString& name, const QByteArray& bytes) {
    QFile f(dir.file(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  void Import(const char* item, const QList<QStringList>& answers) {
    for (const QStringList& answer : answers) dialogs->openAnswers.push_back(answer);
    TriggerMenuItem(item);
  }
  // The window's cut of every row into `folder` as WAV files named "01 Title", ...
  void CutAsNumberedTitles(const QString& folder) {
    state().SettingsFile->WriteString(settings::section::kFormat, settings::key::kDir, folder);
    state().SettingsFile->WriteString(settings::section::kFormat, settings::key::kNameTemplate, "{n:2} {title}");
    window().cm_Format->setCurrentIndex(1);  // WAV
    Click("cut");
    WaitForJob();
  }
  const Timerec& Record(int row) { return state().TrackTable[static_cast<std::size_t>(row)]; }

  TempDir dir;
  const QString wav = QDir::toNativeSeparators(dir.file("rec.wav"));
  int rowsChanged = 0;
};

TEST_F(MainWindowSheets, ASheetBecomesRowsThatCutIntoExactlyItsTracksNamedAndTaggedByIt) {
  Import("ImportCue1", {{dir.file("rec.cue")}});
  ASSERT_EQ(state().TrackCount, 2) << dialogs->infoTexts().join('\n').toStdString();
  EXPECT_EQ(rowsChanged, 1);
  EXPECT_EQ(Record(0).FilePath, wav);
  EXPECT_EQ(Record(0).BeginSample, 10 * 588);
  EXPECT_EQ(Record(0).EndSample, 85 * 588);
  EXPECT_EQ(Record(1).BeginSample, 85 * 588);
  EXPECT_EQ(Record(1).EndSample, 3 * 44100);
  EXPECT_EQ(Record(1).Title, "Two");
  EXPECT_EQ(Record(1).Tags.Get(TagField::Album), "Set");
  EXPECT_EQ(Record(1).Tags.Get(TagField::Genre), "Live");
  EXPECT_EQ(Record(1).Tags.Get(TagField::Date), "2001");
  EXPECT_EQ(state().lv->CellText(1, kRangeCell), "  00:00:01 - 00:00:03");

  TempDir out;
  CutAsNumberedTitles(out.path());
  const std::vector<float> source = DecodeWithFfmpeg(wav);
  const QStringList files = QDir(out.path()).entryList(QDir::Files);
  ASSERT_EQ(files, (QStringList{"01 One.wav", "02 Two.wav"}));
  const TagSet tags = ReadTags(out.file("02 Two.wav"));
  EXPECT_EQ(tags.Get(TagField::Title), "Two");
  EXPECT_EQ(tags.Get(TagField::Album), "Set");
  std::vector<std::int64_t> begins;
  for (const QString& file : files) {
    const std::vector<float> part = DecodeWithFfmpeg(out.file(file));
    // Which row a file is comes from its length; its samples must be that range's.
    const int row = part.size() == std::size_t(2 * (85 - 10) * 588) ? 0 : 1;
    ASSERT_EQ(part.size(), std::size_t(2 * (Record(row).EndSample - Record(row).BeginSample))) << file.toStdString();
    begins.push_back(Record(row).BeginSample);
    for (std::size_t k = 0; k < part.size(); ++k)
      ASSERT_NEAR(part[k], source[std::size_t(2 * Record(row).BeginSample) + k], 1.01f / 32768);
  }
  EXPECT_NE(begins[0], begins[1]);
}

TEST_F(MainWindowSheets, ARippersSheetImportsAndCutsItsAudioTracksAndNamesTheDataTrackSkipped) {
  // Tracks in FLACs under Album/, the sheet naming the WAVs of the rip with
  // Windows folders; an enhanced CD's data track after the audio.
  ASSERT_TRUE(QDir(dir.path()).mkdir("Album"));
  const QString first = dir.file("Album/01 Song.flac");
  const QString second = dir.file("Album/02 Other.flac");
  Ffmpeg({"-i", wav, "-af", "atrim=end_sample=66150", first});
  Ffmpeg({"-i", wav, "-af", "atrim=start_sample=66150", second});
  Write("rip.cue",
        "REM DISCID 2A0B0C0D\r\nREM COMMENT \"ExactAudioCopy v1.6\"\r\nPERFORMER \"Band\"\r\nTITLE \"Enhanced\"\r\n"
        "FILE \"Album\\01 Song.wav\" WAVE\r\n  TRACK 01 AUDIO\r\n    TITLE \"Song\"\r\n    FLAGS DCP\r\n    INDEX 01 00:00:00\r\n"
        "  TRACK 02 AUDIO\r\n    TITLE \"Other\"\r\n    INDEX 00 00:01:00\r\n"
        "FILE \"Album\\02 Other.wav\" WAVE\r\n    INDEX 01 00:00:00\r\n"
        "  TRACK 03 AUDIO\r\n    TITLE \"Third\"\r\n    INDEX 01 00:00:30\r\n"
        "  TRACK 04 MODE1/2352\r\n    INDEX 01 00:03:00\r\n");
  Import("ImportCue1", {{dir.file("rip.cue")}});
  const QStringList info = dialogs->infoTexts();
  ASSERT_EQ(state().TrackCount, 3) << info.join('\n').toStdString();
  ASSERT_EQ(info.size(), 1);
  EXPECT_TRUE(info[0].contains("Track 4 is a data track (MODE1/2352) and was skipped.")) << info[0].toStdString();
  const struct {
    QString file;
    std::int64_t begin;
    std::int64_t end;
    QString name;
  } rows[] = {{first, 0, 66150, "01 Song.wav"}, {second, 0, 30 * 588, "02 Other.wav"}, {second, 30 * 588, 66150, "03 Third.wav"}};
  for (int row = 0; row < 3; ++row) {
    SCOPED_TRACE(row);
    EXPECT_EQ(Record(row).FilePath, QDir::toNativeSeparators(rows[row].file));
    EXPECT_EQ(Record(row).BeginSample, rows[row].begin);
    EXPECT_EQ(Record(row).EndSample, rows[row].end);
  }

  TempDir out;
  CutAsNumberedTitles(out.path());
  ASSERT_EQ(QDir(out.path()).entryList(QDir::Files), (QStringList{"01 Song.wav", "02 Other.wav", "03 Third.wav"}));
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name.toStdString());
    const std::vector<float> source = DecodeWithFfmpeg(row.file);
    const std::vector<float> part = DecodeWithFfmpeg(out.file(row.name));
    ASSERT_EQ(part.size(), std::size_t(2 * (row.end - row.begin)));
    for (std::size_t k = 0; k < part.size(); ++k) ASSERT_EQ(part[k], source[std::size_t(2 * row.begin) + k]) << k;
  }
}

TEST_F(MainWindowSheets, BadFilesChangeNothingAndSayWhy) {
  Import("ImportCue1", {{dir.file("rec.cue")}});
  ASSERT_EQ(state().TrackCount, 2);
  const ListSnapshot before = TakeListSnapshot(state());
  const int changes = rowsChanged;
  Write("junk.cue", QByteArray(5000, 'x'));
  Write("long.cue", "FILE rec.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:01:00\nTRACK 02 AUDIO\nINDEX 01 00:03:01\n");
  Write("comma.txt", "0.5\t1.5\tok\n1,5\t2,5\tcomma\n");
  Write("long.txt", "0.5\t3.5\ttoo long\n");
  const struct {
    const char* item;
    QString file;
    const char* says;
  } cases[] = {
      {"ImportCue1", dir.file("junk.cue"), "line 1: \"xxxxxxxxxx"},
      {"ImportCue1", dir.file("long.cue"), "track 1 (1.000 s to 3.013 s) does not lie within rec.wav"},
      {"ImportLabels1", dir.file("comma.txt"), "line 2: \"1,5\" is not a time"},
      {"ImportLabels1", dir.file("long.txt"), "label 1 (0.500 s to 3.500 s) does not lie within rec.wav"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.says);
    dialogs->shown.clear();
    Import(c.item, {{c.file}});
    const QStringList info = dialogs->infoTexts();
    ASSERT_EQ(info.size(), 1);
    EXPECT_TRUE(info[0].contains(c.says)) << info[0].toStdString();
    EXPECT_TRUE(TakeListSnapshot(state()) == before);
    EXPECT_EQ(rowsChanged, changes);
  }
}

TEST_F(MainWindowSheets, ExportedLabelsAndSheetsImportBackToTheSameRows) {
  Import("ImportCue1", {{dir.file("rec.cue")}});
  ASSERT_EQ(state().TrackCount, 2);
  state().lv->SelectRow(1);
  dialogs->saveAnswers.push_back(dir.file("marks"));  // ".txt" is added
  TriggerMenuItem("ExportLabels1");
  dialogs->saveAnswers.push_back(dir.file("again.cue"));
  TriggerMenuItem("ExportCue1");
  EXPECT_EQ(dialogs->lastSaveFolder, dir.path());
  const QStringList notes = dialogs->infoTexts();  // exact marks: nothing to say
  ASSERT_EQ(notes.size(), 0) << notes.join('\n').toStdString();
  const std::vector<Timerec> before(state().TrackTable.begin(), state().TrackTable.begin() + 2);

  for (const char* item : {"ImportLabels1", "ImportCue1"}) {
    SCOPED_TRACE(item);
    Click("clear");
    ASSERT_EQ(state().lv->SelectedRow(), -1);
    if (std::string(item) == "ImportLabels1") Import(item, {{dir.file("marks.txt")}, {wav}});  // labels, then their source
    else Import(item, {{dir.file("again.cue")}});
    ASSERT_EQ(state().TrackCount, 2) << dialogs->infoTexts().join('\n').toStdString();
    for (int row = 0; row < 2; ++row) {
      EXPECT_EQ(Record(row).BeginSample, before[std::size_t(row)].BeginSample);
      EXPECT_EQ(Record(row).EndSample, before[std::size_t(row)].EndSample);
      EXPECT_EQ(Record(row).Title, before[std::size_t(row)].Title);
    }
  }
  EXPECT_EQ(Record(0).Tags.Get(TagField::Album), "Set");  // the sheet's tags went out and came back
}

}  // namespace
