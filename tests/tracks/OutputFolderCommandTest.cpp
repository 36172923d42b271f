// The "dir" command: refusals, the chooser's caption and placement, the field
// before the settings file, and a failing write.
#include <gtest/gtest.h>

#include <QDir>

#include "TrackBench.h"
#include "settings/SettingsStore.h"
#include "tracks/OutputFolderCommand.h"

using namespace snipwave;
using namespace snipwave::test;

namespace {

class OutputFolder : public ::testing::Test {
 protected:
  TrackBench b;
  SettingsStore store{b.dir.file("Snipwave.ini")};
  OutputFolder() { b.state.SettingsFile = &store; }
  QString storedDir() const { return store.ReadString("Format", "Dir", "<none>"); }
};

TEST_F(OutputFolder, RefusedWhilePreviewingOrConvertingShowsNothing) {
  b.dialogs.folderAnswers = {"/srv/out", "/srv/out"};
  b.state.Playing = true;
  ChooseOutputFolder(b.state);
  b.state.Playing = false;
  b.state.Converting = true;
  ChooseOutputFolder(b.state);
  EXPECT_TRUE(b.dialogs.shown.isEmpty());
  EXPECT_TRUE(b.folderTexts.isEmpty());
  EXPECT_EQ(storedDir(), "<none>");
}

TEST_F(OutputFolder, OkShowsTheFolderAndStoresIt) {
  b.dialogs.folderAnswers = {"/srv/My Music/ünïcode"};
  ChooseOutputFolder(b.state);
  ASSERT_EQ(b.dialogs.shown.size(), 1);
  EXPECT_EQ(b.dialogs.shown[0].text, "Output Directory");
  EXPECT_TRUE(b.dialogs.lastFolderCentred);
  EXPECT_EQ(b.folderTexts, QStringList{"/srv/My Music/ünïcode"});
  EXPECT_EQ(storedDir(), "/srv/My Music/ünïcode");
}

TEST_F(OutputFolder, CancelKeepsTheEarlierChoice) {
  b.dialogs.folderAnswers = {"/srv/first"};
  ChooseOutputFolder(b.state);
  ChooseOutputFolder(b.state);  // unscripted: cancelled
  EXPECT_EQ(b.folderTexts, QStringList{"/srv/first"});
  EXPECT_EQ(storedDir(), "/srv/first");
}

TEST_F(OutputFolder, TheRootKeepsItsSeparator) {
  b.dialogs.folderAnswers = {QDir::rootPath()};
  ChooseOutputFolder(b.state);
  EXPECT_EQ(storedDir(), "/");
}

TEST_F(OutputFolder, AFailedWriteLeavesTheFieldChangedAndThrows) {
  b.dialogs.folderAnswers = {"/srv/first", "/srv/second"};
  ChooseOutputFolder(b.state);
  // A folder where the settings file should be: the write cannot replace it.
  const QString iniAsFolder = b.dir.file("blocked/Snipwave.ini");
  QDir().mkpath(iniAsFolder);
  SettingsStore blocked(iniAsFolder);
  b.state.SettingsFile = &blocked;
  EXPECT_THROW(ChooseOutputFolder(b.state), Error);
  EXPECT_EQ(b.folderTexts, (QStringList{"/srv/first", "/srv/second"}));
  EXPECT_EQ(storedDir(), "/srv/first");
}

}  // namespace
