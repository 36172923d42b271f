#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "FileContents.h"
#include "TempDir.h"
#include "platform/FileHelpers.h"

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
  // A folder standing where the file should be.
  QDir().mkdir(dir.file("ini"));
  EXPECT_FALSE(ReplaceFileAtomically(dir.file("ini"), "data"));
  EXPECT_TRUE(FolderExists(dir.file("ini")));
  // A file standing where the folder should be.
  WriteAll(dir.file("notafolder"), "x");
  EXPECT_FALSE(ReplaceFileAtomically(dir.file("notafolder/settings.ini"), "data"));

  // A file-size limit hit mid-write, in a child so the limit stays there.
  const QString path = dir.file("big.ini");
  WriteAll(path, "old content\n");
  const pid_t child = fork();
  if (child == 0) {
    rlimit limit{100, 100};
    setrlimit(RLIMIT_FSIZE, &limit);
    _exit(ReplaceFileAtomically(path, std::string(10000, 'z')) ? 1 : 0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the write must report failure";
  EXPECT_EQ(ReadAll(path), "old content\n");
  EXPECT_EQ(QDir(dir.path()).entryList({"big.ini*"}, QDir::Files | QDir::Hidden).size(), 1);
}
