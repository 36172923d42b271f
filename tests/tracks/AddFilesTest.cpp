// Adding files through the open dialog with a scripted reader: the probe's
// call order, failing files, the WMA question, the selection rules, the table
// limit, and commands arriving while the add lets messages through.
#include <gtest/gtest.h>

#include <QLocale>

#include "TrackBench.h"
#include "settings/ProductLinks.h"

using namespace snipwave;
using namespace snipwave::test;
using ::testing::_;
using ::testing::InSequence;
using ::testing::Return;

namespace {

const QString kWmaTail =
    " can not be supported, this problem may be solved by download and install free WMA encode and reinstall our "
    "software . Will you download it?";

class AddFiles : public ::testing::Test {
 protected:
  TrackBench b;
  void add(const QStringList& paths) {
    b.dialogs.openAnswers.push_back(paths);
    b.commands.AddFiles();
  }
};

TEST_F(AddFiles, OpenDialogOffersTheFiltersInOrderTheOldFourFirst) {
  b.commands.AddFiles();
  ASSERT_EQ(b.dialogs.lastOpenFilters.size(), 9);
  const QList<FileFilter>& f = b.dialogs.lastOpenFilters;
  EXPECT_EQ(f[0].caption, "All Supported Files");
  EXPECT_EQ(f[0].patterns, "*.mp3;*.wav;*.wma;*.ogg;*.flac;*.opus;*.oga;*.m4a;*.m4b;*.mp4;*.aac;*.aif;*.aiff;*.aifc");
  // Every pattern of a per-format entry is in "All Supported Files".
  const QStringList all = f[0].patterns.split(';');
  for (int i = 1; i < f.size(); ++i)
    for (const QString& pattern : f[i].patterns.split(';')) EXPECT_TRUE(all.contains(pattern)) << pattern.toStdString();
  EXPECT_EQ(f[5].caption, "FLAC Files(*.flac)");
  EXPECT_EQ(f[8].patterns, "*.aif;*.aiff;*.aifc");
  EXPECT_EQ(f[1].caption, "MP3 Files(*.mp3)");
  EXPECT_EQ(f[1].patterns, "*.mp3");
  EXPECT_EQ(f[2].caption, "WAV Files(*.wav)");
  EXPECT_EQ(f[3].caption, "WMA Files(*.wma)");
  EXPECT_EQ(f[4].caption, "OGG Files(*.ogg)");
  EXPECT_EQ(f[4].patterns, "*.ogg");
}

TEST_F(AddFiles, CancelChangesNothingAndThePictureStays) {
  EXPECT_CALL(b.reader, OpenFile(_, _, _)).Times(0);
  b.commands.AddFiles();
  EXPECT_EQ(b.lv.RowCount(), 0);
  EXPECT_EQ(b.pictureHidden, 0);
  EXPECT_EQ(b.obj("alltime").redraws, 0);
  EXPECT_FALSE(b.state.Adding);
}

TEST_F(AddFiles, RefusedWhilePlayingConvertingOrAddingWithoutADialog) {
  for (auto mode : {&MainState::Playing, &MainState::Converting, &MainState::Adding}) {
    b.state.*mode = true;
    b.commands.AddFiles();
    b.state.*mode = false;
  }
  EXPECT_TRUE(b.dialogs.shown.isEmpty());
}

TEST_F(AddFiles, ProbesInTheReadersCallOrder) {
  const QString a = b.knownFile("a.mp3", 3000, 132300);
  ScriptedReader& r = b.reader;
  r.openPath = "/left/open/by/preview.mp3";  // a file left open is closed first
  {
    InSequence order;
    EXPECT_CALL(r, IsOpen());
    EXPECT_CALL(r, CloseFile());
    EXPECT_CALL(r, OpenFile(a.toStdString(), 0, 1));
    EXPECT_CALL(r, DurationMs());
    EXPECT_CALL(r, LengthSamples());
    EXPECT_CALL(r, CloseFile());
  }
  add({a});
  EXPECT_TRUE(r.openPath.empty());
  ASSERT_EQ(b.lv.RowCount(), 1);
}

TEST_F(AddFiles, AnUnreadableFileInTheMiddleLeavesNoTrace) {
  const QString one = b.knownFile("one.mp3", 61500, 2712150, 3500000);
  const QString bad = b.makeFile("two.mp3");  // the reader refuses it
  const QString three = b.knownFile("three.ogg", 125999, 5556555, 2097152);
  add({one, bad, three});

  EXPECT_EQ(b.pump.calls, 3);  // messages once per chosen file
  ASSERT_EQ(b.lv.RowCount(), 2);
  EXPECT_EQ(b.state.TrackCount, 2);
  // A failing ".mp3" is skipped without a message.
  EXPECT_EQ(b.dialogs.shown.size(), 1);  // the open dialog alone
  const TrackRowTexts row = b.lv.RowTexts(1);
  EXPECT_EQ(row.caption, "three.ogg");
  EXPECT_EQ(row.cells[kRangeCell], "  00:00:00 - 00:02:05");
  EXPECT_EQ(row.cells[kLengthCell], "  00:02:05");
  EXPECT_EQ(row.cells[kSizeCell], "  2.00MB");
  EXPECT_EQ(row.cells[kStatusCell], "unconverted");
  EXPECT_EQ(b.lv.RowTexts(0).cells[kSizeCell], "  3.34MB");

  const Timerec& r = b.state.TrackTable[1];
  EXPECT_EQ(r.FilePath, three);
  EXPECT_EQ(r.BeginSample, 0);
  EXPECT_EQ(r.EndSample, 5556555);
  EXPECT_EQ(r.TotalSamples, 5556555);
  EXPECT_EQ(r.TotalMs, 125999);
  EXPECT_EQ(r.RangeSeconds, 125);
  EXPECT_EQ(b.shown("alltime"), "00:03:06");  // 61 + 125 s

  b.state.TrackTable[1].BeginSample = 44100 * 5;
  b.lv.SelectRow(1);
  b.commands.SelectRow();
  EXPECT_EQ(b.shown("begin"), "00:00:05");
  EXPECT_EQ(b.shown("end"), "00:02:05");
  EXPECT_TRUE(b.reader.openPath.empty());
}

TEST_F(AddFiles, AFailingWmaAsksWithTheFullPathAndYesOpensTheDownloadPage) {
  const QString wma = b.makeFile("SONG.WMA");
  b.reader.failDuration.insert(wma.toStdString());  // opens, then fails: left open
  b.dialogs.yesNoAnswers = {true};
  add({wma});
  ASSERT_EQ(b.dialogs.shown.size(), 2);  // the question is the only message
  EXPECT_EQ(b.dialogs.shown[1].kind, "yesno");
  EXPECT_EQ(b.dialogs.shown[1].text, wma + kWmaTail);
  EXPECT_EQ(b.launcher.urls, QStringList{links::WmaSupportPage()});
  EXPECT_TRUE(b.reader.openPath.empty());
  EXPECT_EQ(b.lv.RowCount(), 0);
  EXPECT_EQ(b.pictureHidden, 1);  // also when every file was skipped
}

TEST_F(AddFiles, NoOnlySkipsTheWmaAndEachFailingWmaAsksOnce) {
  const QString w1 = b.makeFile("a.wma");
  const QString w2 = b.dir.file("gone.Wma");  // does not exist: fails at the size step
  const QString ok = b.knownFile("b.wav", 1000, 44100);
  b.dialogs.yesNoAnswers = {false, false};
  add({w1, w2, ok});
  EXPECT_EQ(b.dialogs.shown.size(), 3);  // open, two questions
  EXPECT_TRUE(b.dialogs.infoTexts().isEmpty());
  EXPECT_TRUE(b.launcher.urls.isEmpty());
  EXPECT_EQ(b.captions(), QStringList{"b.wav"});
  EXPECT_TRUE(b.rowsPaired());
}

TEST_F(AddFiles, AddingToAnEmptyListSelectsRowZeroAndWritesEndBarAndTime) {
  const QString a = b.knownFile("a.mp3", 42000, 42 * 44100);
  const QString c = b.knownFile("c.mp3", 7000, 7 * 44100);
  b.obj("pb").position = 900;
  b.obj("begin").text = "keep";
  add({a, c});
  EXPECT_EQ(b.lv.SelectedRow(), 0);
  EXPECT_EQ(b.shown("end"), "00:00:42");
  EXPECT_EQ(b.shown("time"), "00:00:00");
  EXPECT_EQ(b.obj("pb").shownPosition, 0);
  EXPECT_EQ(b.obj("begin").redraws, 0);
  EXPECT_EQ(b.shown("alltime"), "00:00:49");
  EXPECT_EQ(b.pictureHidden, 1);
}

TEST_F(AddFiles, AddingWithASelectionWritesOnlyTheTotal) {
  b.seedRows(2);
  b.lv.SelectRow(1);
  b.obj("pb").position = 900;
  const QString a = b.knownFile("a.mp3", 10000, 441000);
  add({a});
  EXPECT_EQ(b.lv.SelectedRow(), 1);
  for (const char* n : {"time", "begin", "end", "pb"}) EXPECT_EQ(b.obj(n).redraws, 0) << n;
  EXPECT_EQ(b.shown("alltime"), "00:00:13");
  EXPECT_EQ(b.state.TrackTable[2].FilePath, a);
  EXPECT_TRUE(b.rowsPaired());
}

TEST_F(AddFiles, DuplicatesAreListedTwiceWithTheirOwnRecords) {
  const QString a = b.knownFile("a.mp3", 10000, 441000);
  add({a, a});
  add({a});
  EXPECT_EQ(b.captions(), (QStringList{"a.mp3", "a.mp3", "a.mp3"}));
  b.state.TrackTable[0].EndSample = 1;
  EXPECT_EQ(b.state.TrackTable[1].EndSample, 441000);
}

TEST_F(AddFiles, SizeTextUsesTheLocalesDecimalSeparator) {
  const QLocale before;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  const QString a = b.knownFile("a.mp3", 1000, 44100, 3500000);
  add({a});
  QLocale::setDefault(before);
  EXPECT_EQ(b.lv.CellText(0, kSizeCell), "  3,34MB");
}

TEST_F(AddFiles, TheHundredAndSecondFileStopsTheAddWithAMessage) {
  b.seedRows(99);
  const QString a = b.knownFile("a.mp3", 1000, 44100);
  const QString bad = b.makeFile("bad.mp3");
  const QString c = b.knownFile("c.mp3", 1000, 44100);
  const QString d = b.knownFile("d.mp3", 1000, 44100);
  const QString e = b.knownFile("e.mp3", 1000, 44100);
  add({a, bad, c, d, e});
  EXPECT_EQ(b.lv.RowCount(), 101);
  EXPECT_EQ(b.state.TrackCount, 101);
  EXPECT_EQ(b.state.TrackTable[100].FilePath, c);
  EXPECT_TRUE(b.rowsPaired());
  EXPECT_EQ(b.dialogs.infoTexts(),
            QStringList{"2 of the chosen files were not added because the list holds at most 101 files."});
  EXPECT_EQ(b.reader.opened.size(), 3u);  // d and e never reached the reader

  add({e});
  EXPECT_EQ(b.lv.RowCount(), 101);
  EXPECT_EQ(b.dialogs.infoTexts().last(),
            "1 of the chosen files was not added because the list holds at most 101 files.");
}

TEST_F(AddFiles, ListCommandsArrivingDuringTheAddAreRefused) {
  b.seedRows(2);
  b.lv.SelectRow(0);
  const QString a = b.knownFile("a.mp3", 1000, 44100);
  const QString c = b.knownFile("c.mp3", 2000, 88200);
  b.pump.onCall = [&](int) {
    EXPECT_TRUE(b.state.Adding);
    b.commands.RemoveSelected();
    b.commands.Clear();
    b.commands.MoveDown();
    b.commands.AddFiles();
    b.commands.AddFolder();
  };
  add({a, c});
  EXPECT_FALSE(b.state.Adding);
  EXPECT_EQ(b.captions(), (QStringList{"t0.mp3", "t1.mp3", "a.mp3", "c.mp3"}));
  EXPECT_TRUE(b.rowsPaired());
  EXPECT_EQ(b.dialogs.shown.size(), 1);  // the nested add and folder add opened nothing

  b.pump.onCall = nullptr;
  b.commands.RemoveSelected();  // and afterwards they work again
  EXPECT_EQ(b.lv.RowCount(), 3);
}

TEST_F(AddFiles, AFailureOutsideTheProbeEndsTheAddButKeepsCountAndFlagRight) {
  const QString a = b.knownFile("a.mp3", 1000, 44100);
  const QString bad = b.makeFile("bad.mp3");
  b.reader.failDuration.insert(bad.toStdString());
  add({a});
  // Closing the reader after the failed probe fails as well: that error is
  // the user's to see, through the application's hook.
  EXPECT_CALL(b.reader, CloseFile()).WillRepeatedly([&] {
    if (b.reader.openPath == bad.toStdString()) throw Error("Close audio file: I/O error");
    b.reader.openPath.clear();
  });
  b.dialogs.openAnswers.push_back({a, bad, a});
  EXPECT_THROW(b.commands.AddFiles(), Error);
  EXPECT_FALSE(b.state.Adding);
  EXPECT_EQ(b.lv.RowCount(), 2);
  EXPECT_EQ(b.state.TrackCount, 2);
  EXPECT_TRUE(b.rowsPaired());
  EXPECT_EQ(b.shown("alltime"), "00:00:02");
}

}  // namespace
