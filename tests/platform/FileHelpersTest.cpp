#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "FileContents.h"
#include "TempDir.h"
#include "platform/Error.h"
#include "platform/FileHelpers.h"
#include "platform/FileNames.h"
#include "platform/PendingOutputFile.h"

using namespace snipwave;
using snipwave::test::ReadAll;
using snipwave::test::WriteAll;

TEST(FileHelpers, FolderCreationMakesOneLevelOnly) {
  test::TempDir dir;
  EXPECT_TRUE(CreateFolderOneLevel(dir.file("out")));
  EXPECT_TRUE(FolderExists(dir.file("out")));
  EXPECT_TRUE(CreateFolderOneLevel(dir.file("out")));  // already there
  EXPECT_FALSE(CreateFolderOneLevel(dir.file("a/b")));
  WriteAll(dir.file("file"), "x");
  EXPECT_FALSE(CreateFolderOneLevel(dir.file("file")));
  EXPECT_TRUE(FileExists(dir.file("file")));
  EXPECT_FALSE(FileExists(dir.file("out")));
}

TEST(FileHelpers, SizeAndListing) {
  test::TempDir dir;
  WriteAll(dir.file("a.mp3"), QByteArray(1234, 'x'));
  WriteAll(dir.file(".hidden.wav"), "y");
  QDir().mkdir(dir.file("sub"));
  EXPECT_EQ(FileSizeBytes(dir.file("a.mp3")), 1234);
  EXPECT_FALSE(FileSizeBytes(dir.file("missing")).has_value());
  EXPECT_FALSE(FileSizeBytes(dir.file("sub")).has_value());
  QStringList entries = ListFolderEntries(dir.path());
  entries.sort();
  EXPECT_EQ(entries, (QStringList{".hidden.wav", "a.mp3", "sub"}));
  EXPECT_TRUE(ListFolderEntries(dir.file("missing")).isEmpty());
}

TEST(FileHelpers, ListingIsInNaturalCaseInsensitiveNameOrder) {
  test::TempDir dir;
  const QStringList natural{"clip 1.wav", "Clip 2.wav", "clip 003.wav", "clip 10.wav", "clip 20.wav",
                            "clip 67.wav", "Track 9.mp3", "track 10.mp3", "zz.ogg"};
  for (const QString& name : natural) WriteAll(dir.file(name), "x");
  EXPECT_EQ(ListFolderEntries(dir.path()), natural);
}

TEST(FileHelpers, TrailingSeparatorAppendedOnlyWhenMissing) {
  EXPECT_EQ(WithTrailingSeparator("/music"), "/music/");
  EXPECT_EQ(WithTrailingSeparator("/music/"), "/music/");
  EXPECT_EQ(WithTrailingSeparator("/"), "/");
  EXPECT_EQ(WithTrailingSeparator(""), "");
}

TEST(FileHelpers, AtomicReplaceWritesAndKeepsPermissions) {
  test::TempDir dir;
  const QString path = dir.file("settings.ini");
  ASSERT_TRUE(ReplaceFileAtomically(path, "one\n"));
  EXPECT_EQ(ReadAll(path), "one\n");
  QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  ASSERT_TRUE(ReplaceFileAtomically(path, "two\n"));
  EXPECT_EQ(ReadAll(path), "two\n");
  EXPECT_EQ(QFile::permissions(path) & (QFileDevice::ReadGroup | QFileDevice::ReadOther), 0);
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1) << "no temporary left";
}

TEST(FileHelpers, AtomicReplaceFailureLeavesOldFileWhole) {
  test::TempDir dir;
  // A folder standing where the file should be; the system's reason is told.
  QDir().mkdir(dir.file("ini"));
  QString why;
  EXPECT_FALSE(ReplaceFileAtomically(dir.file("ini"), "data", &why));
  EXPECT_EQ(why, "Is a directory");
  EXPECT_TRUE(FolderExists(dir.file("ini")));
  // A file standing where the folder should be.
  WriteAll(dir.file("notafolder"), "x");
  EXPECT_FALSE(ReplaceFileAtomically(dir.file("notafolder/settings.ini"), "data", &why));
  EXPECT_EQ(why, "Not a directory");

  // A file-size limit hit mid-write, in a child so the limit stays there.
  const QString path = dir.file("big.ini");
  WriteAll(path, "old content\n");
  const pid_t child = fork();
  if (child == 0) {
    rlimit limit{100, 100};
    setrlimit(RLIMIT_FSIZE, &limit);
    QString reason;
    _exit(ReplaceFileAtomically(path, std::string(10000, 'z'), &reason) ? 1 : reason == "File too large" ? 0 : 2);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the write must report failure, as too large";
  EXPECT_EQ(ReadAll(path), "old content\n");
  EXPECT_EQ(QDir(dir.path()).entryList({"big.ini*"}, QDir::Files | QDir::Hidden).size(), 1);
}

TEST(FileHelpers, StaleReplacementsAreRemovedAndNothingElse) {
  test::TempDir dir;
  const QString kept = dir.file("Snipwave-list.json");
  WriteAll(kept, "{}");
  const auto aged = [](const QString& file, int seconds) {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTime().addSecs(-seconds), QFileDevice::FileModificationTime));
  };
  enum Kind { File, Folder, Link };
  const struct {
    const char* name;
    Kind kind;
    int age;  // seconds since its last change
    bool removed;
  } cases[] = {
      {"Snipwave-list.json.a1B2c3", File, 3600, true},   // cut short an hour ago
      {"Snipwave-list.json.Zz09yx", File, 61, true},
      {"Snipwave-list.json.q7W8e9", File, 0, false},     // perhaps being written right now
      {"Snipwave-list.json.a1B2c", File, 3600, false},   // not the pattern
      {"Snipwave-list.json.a1B2c34", File, 3600, false},
      {"Snipwave-list.json.a1-2c3", File, 3600, false},
      {"Other.json.a1B2c3", File, 3600, false},
      {"Snipwave-list.json.f0lder", Folder, 3600, false},
      {"Snipwave-list.json.l1nk00", Link, 3600, false},
  };
  for (const auto& c : cases) {
    const QString file = dir.file(c.name);
    if (c.kind == Folder) QDir().mkdir(file);
    else if (c.kind == Link) QFile::link(kept, file);
    else WriteAll(file, "half a list");
    if (c.kind == File) aged(file, c.age);
  }
  aged(kept, 3600);
  EXPECT_EQ(RemoveStaleReplacements(kept, 60), 2);
  for (const auto& c : cases) EXPECT_EQ(QFileInfo::exists(dir.file(c.name)), !c.removed) << c.name;
  EXPECT_EQ(ReadAll(kept), "{}");
}

TEST(FileNames, EveryByteSequenceSurvivesTheRoundTrip) {
  const QList<QByteArray> names = {"plain.mp3", "Grüße – 日本語 🎵.ogg", "caf\xe9.wav", "\xff\xfe\x80",
                                   "\xc3", "\xed\xa0\x80 surrogate", "\xc0\xaf overlong"};
  for (const QByteArray& name : names) {
    EXPECT_EQ(FileNameBytes(FileNameFromBytes(name)), name) << name.toHex().constData();
  }
  EXPECT_EQ(FileNameFromBytes("Grüße.mp3"), QString::fromUtf8("Grüße.mp3"));  // valid UTF-8 as usual
  EXPECT_EQ(FileNameBytes(QString::fromUtf8("🎵")), QByteArray("🎵"));
}

TEST(PendingOutputFile, NameOnlyWhenCompleteAndNeverOverAFileThatAppeared) {
  test::TempDir dir;
  const QString target = dir.file("Cut_a.mp3");
  QString temporary;
  {
    PendingOutputFile output(target);
    temporary = output.TemporaryPath();
    EXPECT_TRUE(QFileInfo(temporary).fileName().startsWith(".Cut_a.snipwave-"));
    EXPECT_TRUE(temporary.endsWith(".mp3"));
    WriteAll(temporary, "new");
    WriteAll(target, "appeared meanwhile");
    EXPECT_FALSE(output.CommitAsNew());
    EXPECT_EQ(ReadAll(target), "appeared meanwhile");
    output.RetargetTo(dir.file("Cut(1)_a.mp3"));
    EXPECT_TRUE(output.CommitAsNew());
  }
  EXPECT_EQ(ReadAll(dir.file("Cut(1)_a.mp3")), "new");
  EXPECT_FALSE(QFileInfo::exists(temporary));

  {  // Replacing: the old file stays whole until the new one is complete.
    PendingOutputFile output(target);
    WriteAll(output.TemporaryPath(), "replacement");
    EXPECT_EQ(ReadAll(target), "appeared meanwhile");
    output.CommitReplacing();
  }
  EXPECT_EQ(ReadAll(target), "replacement");
  {  // Not committed (a failed write): nothing is left.
    PendingOutputFile output(dir.file("mix.wav"));
    WriteAll(output.TemporaryPath(), "partial");
  }
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), (QStringList{"Cut(1)_a.mp3", "Cut_a.mp3"}));
  EXPECT_THROW(PendingOutputFile(dir.file("missing/x.mp3")), Error);
}

TEST(FileNames, NamesFromQtsDialogsAreMatchedBackToTheirBytes) {
  test::TempDir dir;
  const QByteArray folder = QFile::encodeName(dir.path()) + "/d\xe9mo";  // not UTF-8 at two levels
  ASSERT_EQ(::mkdir(folder.constData(), 0700), 0);
  const int fd = ::open(folder + "/caf\xe9.wav", O_WRONLY | O_CREAT, 0600);
  ASSERT_GE(fd, 0);
  ::close(fd);
  const QString asQtSaysIt = QFile::decodeName(folder + "/caf\xe9.wav");
  EXPECT_FALSE(QFileInfo::exists(asQtSaysIt));
  EXPECT_EQ(FileNameBytes(ResolveQtFileName(asQtSaysIt)), folder + "/caf\xe9.wav");
  EXPECT_EQ(ResolveQtFileName(dir.file("plain.wav")), dir.file("plain.wav"));
  ::unlink(folder + "/caf\xe9.wav");
  ::rmdir(folder.constData());
}
