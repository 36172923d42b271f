// The list as a document in the window: kept as the user works and back after
// the program was killed, saved to and opened from list files to the same
// frames, and a file that cannot be used changes nothing.
#include <QComboBox>
#include <QFile>
#include <QProcess>

#include "Commands.h"
#include "MainWindowFixture.h"
#include "preview/RowSplit.h"
#include "settings/SettingsKeys.h"
#include "shell/ListFileCommands.h"
#include "shell/FormatChooser.h"
#include "tracks/ListFile.h"
#include "tracks/ListSnapshot.h"
#include "tracks/TrackListWidget.h"

namespace snipwave::test {
namespace {

const QString kProgram = QStringLiteral(SNIPWAVE_RUNTIME_DIR "/snipwave");

class MainWindowListFile : public MainWindowFixture {
 protected:
  // Two sources of their own in a folder the test may change.
  void MakeSources() {
    a = sources.file("a.wav");
    b = sources.file("b ü.wav");
    ASSERT_TRUE(QFile::copy(ChirpFixture("list a.wav", 2.0, 44100, 2), a));
    ASSERT_TRUE(QFile::copy(ChirpFixture("job b.wav", 1.0, 44100, 2), b));
  }
  int KeptRows() const {
    try {
      return static_cast<int>(ReadListFile(ListFileCommands::SavedListPath()).rows.size());
    } catch (const std::exception&) {
      return -1;
    }
  }
  TempDir sources;
  QString a, b;
};

TEST_F(MainWindowListFile, TheKeptListSurvivesAKillAndComesBackAtStartWhenAskedTo) {
  MakeSources();
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("SNIPWAVE_CONFIG_DIR", configDir.path());
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("SDL_AUDIODRIVER", "dummy");
  process.setProcessEnvironment(env);
  process.start(kProgram, {a, b});
  ASSERT_TRUE(process.waitForStarted());
  EXPECT_TRUE(QTest::qWaitFor([&] { return KeptRows() == 2; }, 60000));
  process.kill();  // SIGKILL: nothing of the program runs after it
  ASSERT_TRUE(process.waitForFinished());
  EXPECT_EQ(process.exitStatus(), QProcess::CrashExit);
  ASSERT_EQ(KeptRows(), 2);

  // Off (the default): the next run starts empty, as it always did.
  program.reset();
  Start(Options{});
  QApplication::processEvents();
  EXPECT_EQ(state().TrackCount, 0);
  // On: the kept list is back.
  SettingsStore(configDir.file("Snipwave.ini")).WriteBool(settings::section::kFormat,
                                                           settings::key::kStartWithLastList, true);
  program.reset();
  Start(Options{});
  ASSERT_TRUE(QTest::qWaitFor([&] { return state().TrackCount == 2; }, 10000));
  EXPECT_EQ(state().TrackTable[0].FilePath, a);
  EXPECT_EQ(state().TrackTable[1].FilePath, b);
  EXPECT_EQ(state().TrackTable[1].EndSample, 44100);
  EXPECT_EQ(window().lv->SelectedRow(), 0);
  EXPECT_TRUE(dialogs->infoTexts().isEmpty());
}

TEST_F(MainWindowListFile, SaveListThenOpenListGivesTheSameRowsFramesAndChoices) {
  MakeSources();
  window().AddFromCommandLine({a, b});
  ASSERT_TRUE(SplitRowAt(state(), 0, 12345));  // a frame no bar value reaches
  state().TrackTable[1].Title = "Second half";
  state().TrackTable[1].Tags.Set(TagField::Artist, "Someone");
  window().lv->SelectRow(2);
  window().Commands().SelectRow();  // the click that makes it the current row
  window().cm_Format->setCurrentIndex(7);  // ALAC, the last entry
  const ListSnapshot saved = TakeListSnapshot(state());

  dialogs->saveAnswers = {sources.file("my list")};
  TriggerMenuItem("SaveList1");
  ASSERT_TRUE(QFile::exists(sources.file("my list.json")));
  TriggerMenuItem("Clear3");
  window().cm_Format->setCurrentIndex(0);
  dialogs->openAnswers = {{sources.file("my list.json")}};
  TriggerMenuItem("OpenList1");

  EXPECT_EQ(TakeListSnapshot(state()), saved);
  EXPECT_EQ(window().cm_Format->currentIndex(), 7);
  EXPECT_TRUE(dialogs->infoTexts().isEmpty()) << dialogs->infoTexts().join("|").toStdString();
}

TEST_F(MainWindowListFile, AListThatCannotBeUsedChangesNothingAndSaysWhy) {
  MakeSources();
  window().AddFromCommandLine({a});
  const ListSnapshot before = TakeListSnapshot(state());
  const QString junk = sources.file("junk.json");
  QFile file(junk);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("{\"format\":\"snipwave-list\",\"version\":1,\"rows\":[{\"path\":\"b ü.wav\"");
  file.close();
  // A list whose one source has changed length since.
  ListDocument changed;
  changed.rows.push_back(ListFileRow{b, 44100, 44101, 0, 44101, {}, {}});
  WriteListFile(sources.file("changed.json"), changed);

  for (const QString& list : {junk, sources.file("changed.json")}) {
    dialogs->shown.clear();
    dialogs->openAnswers = {{list}};
    TriggerMenuItem("OpenList1");
    EXPECT_EQ(TakeListSnapshot(state()), before);
    ASSERT_EQ(dialogs->infoTexts().size(), 1);
    EXPECT_TRUE(dialogs->infoTexts()[0].contains(list == junk ? junk : b)) << dialogs->infoTexts()[0].toStdString();
  }
}

TEST_F(MainWindowListFile, ReopenLastListBringsBackTheListAClearEmptied) {
  MakeSources();
  window().AddFromCommandLine({a, b});
  const ListSnapshot before = TakeListSnapshot(state());
  TriggerMenuItem("Clear3");
  ASSERT_EQ(state().TrackCount, 0);
  TriggerMenuItem("ReopenList1");
  EXPECT_EQ(TakeListSnapshot(state()), before);
}

}  // namespace
}  // namespace snipwave::test
