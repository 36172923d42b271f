// Adding a folder: one level, accepted extensions in any case, the name-only
// WMA question, pending messages twice per accepted entry, the bar untouched.
#include <gtest/gtest.h>

#include <QDir>

#include "TrackBench.h"
#include "settings/ProductLinks.h"

using namespace snipwave;
using namespace snipwave::test;

namespace {

class AddFolder : public ::testing::Test {
 protected:
  TrackBench b;
  void addFolder(const QString& folder) {
    b.dialogs.folderAnswers.push_back(folder);
    b.commands.AddFolder();
  }
  QStringList sortedCaptions() const {
    QStringList c = b.captions();
    c.sort();
    return c;
  }
};

TEST_F(AddFolder, TakesAudioFilesOneLevelDeepInAnyLetterCase) {
  b.knownFile("music/one.mp3", 1000, 44100);
  b.makeFile("music/two.txt");
  b.knownFile("music/three.OGG", 2000, 88200);
  b.knownFile("music/sub/four.wav", 3000, 132300);
  addFolder(b.dir.file("music"));
  EXPECT_EQ(sortedCaptions(), (QStringList{"one.mp3", "three.OGG"}));
  EXPECT_TRUE(b.rowsPaired());
  EXPECT_EQ(b.state.TrackCount, 2);
  EXPECT_EQ(b.pump.calls, 4);  // twice per accepted entry
  EXPECT_EQ(b.dialogs.shown.first().kind, "folder");
  EXPECT_EQ(b.dialogs.shown.first().text, "File Directory");
  EXPECT_FALSE(b.dialogs.lastFolderCentred);
  for (int i = 0; i < 2; ++i)
    EXPECT_TRUE(b.state.TrackTable[static_cast<std::size_t>(i)].FilePath.startsWith(b.dir.file("music") + "/"));
  EXPECT_EQ(b.shown("alltime"), "00:00:03");
}

TEST_F(AddFolder, ASubFolderNamedLikeAWmaIsSkippedWithTheNameOnlyQuestion) {
  QDir().mkpath(b.dir.file("music/x.wma"));
  b.knownFile("music/ok.mp3", 1000, 44100);
  b.dialogs.yesNoAnswers = {true};
  addFolder(b.dir.file("music"));
  EXPECT_EQ(b.captions(), QStringList{"ok.mp3"});
  QStringList questions;
  for (const auto& s : b.dialogs.shown)
    if (s.kind == "yesno") questions << s.text;
  EXPECT_EQ(questions,
            QStringList{"x.wma can not be supported, this problem may be solved by download and install free WMA "
                        "encode and reinstall our software . Will you download it?"});
  EXPECT_EQ(b.launcher.urls, QStringList{links::WmaSupportPage()});
  EXPECT_TRUE(b.dialogs.infoTexts().isEmpty());
}

TEST_F(AddFolder, TheSameFolderTwiceListsEachFileTwice) {
  b.knownFile("music/one.mp3", 1000, 44100);
  b.knownFile("music/two.wav", 2000, 88200);
  addFolder(b.dir.file("music"));
  addFolder(b.dir.file("music"));
  EXPECT_EQ(sortedCaptions(), (QStringList{"one.mp3", "one.mp3", "two.wav", "two.wav"}));
  EXPECT_TRUE(b.rowsPaired());
  EXPECT_EQ(b.shown("alltime"), "00:00:06");
}

TEST_F(AddFolder, FilesAddedAfterAFolderFollowItsRecords) {
  b.knownFile("music/one.mp3", 1000, 44100);
  addFolder(b.dir.file("music"));
  b.state.TrackTable[0].BeginSample = 100;
  const QString later = b.knownFile("later.ogg", 9000, 9 * 44100);
  b.dialogs.openAnswers.push_back({later});
  b.commands.AddFiles();
  EXPECT_EQ(b.captions(), (QStringList{"one.mp3", "later.ogg"}));
  EXPECT_EQ(b.state.TrackTable[0].BeginSample, 100);
  EXPECT_EQ(b.state.TrackTable[1].TotalMs, 9000);
}

TEST_F(AddFolder, AnEmptyOrMissingFolderAddsNothingButHidesThePicture) {
  QDir().mkpath(b.dir.file("empty"));
  addFolder(b.dir.file("empty"));
  addFolder(b.dir.file("gone"));
  EXPECT_EQ(b.lv.RowCount(), 0);
  EXPECT_EQ(b.pictureHidden, 2);
  EXPECT_EQ(b.shown("alltime"), "00:00:00");
}

TEST_F(AddFolder, CancelChangesNothing) {
  b.knownFile("music/one.mp3", 1000, 44100);
  b.commands.AddFolder();
  EXPECT_EQ(b.lv.RowCount(), 0);
  EXPECT_EQ(b.pictureHidden, 0);
  EXPECT_EQ(b.obj("alltime").redraws, 0);
}

TEST_F(AddFolder, IntoAnEmptyListSelectsRowZeroAndLeavesTheBar) {
  b.knownFile("music/one.mp3", 75000, 75 * 44100);
  b.obj("pb").position = 4321;
  addFolder(b.dir.file("music"));
  EXPECT_EQ(b.lv.SelectedRow(), 0);
  EXPECT_EQ(b.shown("end"), "00:01:15");
  EXPECT_EQ(b.shown("time"), "00:00:00");
  EXPECT_EQ(b.obj("pb").redraws, 0);
  EXPECT_EQ(b.obj("pb").position, 4321);
  EXPECT_EQ(b.obj("begin").redraws, 0);
}

TEST_F(AddFolder, RefusedWhilePlayingConvertingOrAdding) {
  for (auto mode : {&MainState::Playing, &MainState::Converting, &MainState::Adding}) {
    b.state.*mode = true;
    b.commands.AddFolder();
    b.state.*mode = false;
  }
  EXPECT_TRUE(b.dialogs.shown.isEmpty());
}

TEST_F(AddFolder, StopsAtTheTableLimitCountingOnlyAudioEntries) {
  b.seedRows(100);
  for (const char* name : {"a.mp3", "b.mp3", "c.mp3"}) b.knownFile(QString("music/") + name, 1000, 44100);
  b.makeFile("music/notes.txt");
  addFolder(b.dir.file("music"));
  EXPECT_EQ(b.lv.RowCount(), 101);
  EXPECT_TRUE(b.rowsPaired());
  EXPECT_EQ(b.dialogs.infoTexts(),
            QStringList{"2 of the chosen files were not added because the list holds at most 101 files."});
}

}  // namespace
