#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "TempDir.h"
#include "platform/DataFolder.h"

using snipwave::DataFolder;
using snipwave::test::TempDir;

namespace {

void Touch(const QString& path) {
  QDir().mkpath(QFileInfo(path).path());
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}

}  // namespace

TEST(DataFolder, BuildTreeThenInstalledLayoutThenTheProgramsFolder) {
  TempDir root;
  const QString bin = root.file("bin");
  QDir().mkpath(bin);
  // Nothing anywhere: the program's folder, where a user looks first.
  EXPECT_EQ(DataFolder(bin, "mp3enc.skn"), bin + "/");
  // Installed: <prefix>/share/snipwave.
  Touch(root.file("share/snipwave/mp3enc.skn"));
  EXPECT_EQ(DataFolder(bin, "mp3enc.skn"), root.file("share/snipwave") + "/");
  // A skin beside the program (the build tree) wins.
  Touch(bin + "/mp3enc.skn");
  EXPECT_EQ(DataFolder(bin, "mp3enc.skn"), bin + "/");
}
