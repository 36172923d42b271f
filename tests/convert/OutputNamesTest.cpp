// Output names: extension replacement, the Cut_/Cut(k)_ scheme, the join's name.
#include <gtest/gtest.h>

#include <QFile>

#include "TempDir.h"
#include "convert/OutputNames.h"

namespace snipwave::test {
namespace {

TEST(OutputNames, ExtensionIsReplacedFromTheLastDotOrAppended) {
  EXPECT_EQ(ReplaceExtension("song.wma", ".mp3"), "song.mp3");
  EXPECT_EQ(ReplaceExtension("live.2024.wav", ".ogg"), "live.2024.ogg");
  EXPECT_EQ(ReplaceExtension("mix", ".mp3"), "mix.mp3");
}

TEST(OutputNames, JoinNameKeepsTheChosenFolderAndTakesTheFormatsExtension) {
  EXPECT_EQ(JoinOutputPath("/tmp/a/mix", ".mp3"), "/tmp/a/mix.mp3");
  EXPECT_EQ(JoinOutputPath("/tmp/a/mix.wav", ".mp3"), "/tmp/a/mix.mp3");
  EXPECT_EQ(FolderOf("/tmp/a/mix.wav"), "/tmp/a");
}

TEST(OutputNames, CutNamesAreNumberedUpToOneHundredAndNeverBeyond) {
  TempDir dir;
  const QString folder = dir.path() + "/";
  auto touch = [](const QString& p) {
    QFile f(p);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  };
  EXPECT_EQ(FreeCutOutputPath(folder, "/src/song.wma", ".mp3"), folder + "Cut_song.mp3");
  touch(folder + "Cut_song.mp3");
  EXPECT_EQ(FreeCutOutputPath(folder, "/src/song.wma", ".mp3"), folder + "Cut(1)_song.mp3");
  touch(folder + "Cut(1)_song.mp3");
  EXPECT_EQ(FreeCutOutputPath(folder, "/src/song.wma", ".mp3"), folder + "Cut(2)_song.mp3");
  for (int k = 2; k <= 99; ++k) touch(folder + QString("Cut(%1)_song.mp3").arg(k));
  EXPECT_EQ(FreeCutOutputPath(folder, "/src/song.wma", ".mp3"), folder + "Cut(100)_song.mp3");
  touch(folder + "Cut(100)_song.mp3");
  EXPECT_EQ(FreeCutOutputPath(folder, "/src/song.wma", ".mp3"), std::nullopt);
  // Another extension is another name.
  EXPECT_EQ(FreeCutOutputPath(folder, "/src/song.wma", ".wav"), folder + "Cut_song.wav");
}

}  // namespace
}  // namespace snipwave::test
