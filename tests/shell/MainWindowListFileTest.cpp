// The list as a document in the window: kept as the user works and back after
// the program was killed, saved to and opened from list files to the same
// frames, and a file that cannot be used changes nothing.
#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "Commands.h"
#include "FileContents.h"
#include "MainWindowFixture.h"
#include "platform/FileNames.h"
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

  // An empty list is a list, one with nothing to open.
  WriteAll(sources.file("empty.json"), R"({"format":"snipwave-list","version":1,"selected":0,"rows":[]})");

  const struct {
    QString list, says;
  } cases[] = {{junk, junk},
               {sources.file("changed.json"), b},
               {sources.file("empty.json"), "The list holds no rows; the list stays as it is."}};
  for (const auto& c : cases) {
    dialogs->shown.clear();
    dialogs->openAnswers = {{c.list}};
    TriggerMenuItem("OpenList1");
    EXPECT_EQ(TakeListSnapshot(state()), before);
    ASSERT_EQ(dialogs->infoTexts().size(), 1);
    EXPECT_TRUE(dialogs->infoTexts()[0].contains(c.says)) << dialogs->infoTexts()[0].toStdString();
  }
}

TEST_F(MainWindowListFile, ANamedPipeIsRefusedAtOnceByOpenListAndAtStart) {
  // Should the window open the pipe for reading, a writer waiting at the
  // other end lets the open return (to an empty read) instead of hanging the
  // test; once the command is done, the writer is let go either way.
  const auto refusedAtOnce = [this](const QString& pipe, const std::function<void()>& command) {
    const QByteArray name = FileNameBytes(pipe);
    std::thread writer([name] {
      const int fd = ::open(name.constData(), O_WRONLY | O_CLOEXEC);
      if (fd >= 0) ::close(fd);
    });
    command();
    const int reader = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    writer.join();
    ::close(reader);
    ASSERT_EQ(dialogs->infoTexts().size(), 1);
    EXPECT_EQ(dialogs->infoTexts()[0],
              "Open list file \"" + pipe + "\": it is a named pipe, not a regular file") << dialogs->infoTexts()[0].toStdString();
  };
  MakeSources();
  window().AddFromCommandLine({a});
  const ListSnapshot before = TakeListSnapshot(state());
  const QString pipe = sources.file("list.json");
  ASSERT_EQ(::mkfifo(FileNameBytes(pipe).constData(), 0600), 0);
  refusedAtOnce(pipe, [&] {
    dialogs->openAnswers = {{pipe}};
    TriggerMenuItem("OpenList1");
  });
  EXPECT_EQ(TakeListSnapshot(state()), before);

  // "Start with the last list" on a kept list that is a pipe.
  program.reset();
  const QString kept = ListFileCommands::SavedListPath();
  QFile::remove(kept);
  ASSERT_EQ(::mkfifo(FileNameBytes(kept).constData(), 0600), 0);
  SettingsStore(configDir.file("Snipwave.ini")).WriteBool(settings::section::kFormat,
                                                           settings::key::kStartWithLastList, true);
  refusedAtOnce(kept, [&] {
    Start(Options{});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialogs->infoTexts().isEmpty(); }, 10000));
  });
  EXPECT_EQ(state().TrackCount, 0);
}

TEST_F(MainWindowListFile, AKeptListThatCannotBeWrittenSaysWhy) {
  MakeSources();
  const QString kept = ListFileCommands::SavedListPath();
  ASSERT_TRUE(QDir().mkpath(kept));  // a folder where the kept list goes
  window().AddFromCommandLine({a});
  window().ListFiles().SaveNow();
  ASSERT_EQ(dialogs->infoTexts().size(), 1);
  EXPECT_EQ(dialogs->infoTexts()[0],
            "The list could not be kept as you work: Write list file \"" + kept + "\": Is a directory");
}

TEST_F(MainWindowListFile, AStartRemovesWhatAKilledSaveLeftButNotASaveInProgress) {
  program.reset();
  const QString kept = ListFileCommands::SavedListPath();
  const QStringList stale{kept + ".Ab12Cd", configDir.file("Snipwave.ini.x9Y8z7")};
  const QString fresh = kept + ".Qr34St";  // another window's save, under way
  for (const QString& file : stale + QStringList{fresh}) WriteAll(file, "half a list");
  for (const QString& file : stale) {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTime().addSecs(-120), QFileDevice::FileModificationTime));
  }
  Start(Options{});
  for (const QString& file : stale) EXPECT_FALSE(QFileInfo::exists(file)) << file.toStdString();
  EXPECT_TRUE(QFileInfo::exists(fresh));
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
