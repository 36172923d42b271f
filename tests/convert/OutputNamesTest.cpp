// Output names: extension replacement, the Cut_/Cut(k)_ scheme, the join's name.
#include <gtest/gtest.h>

#include <QFile>

#include "TempDir.h"
#include "convert/OutputNames.h"
#include "convert/RowCut.h"

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

namespace snipwave::test {
namespace {

TEST(NameTemplates, ExpandTheRowsFieldsIntoASafeFileName) {
  JobRow row{"/src/live set.flac", 0, 10};
  row.track = 3;
  row.beginMs = 3723456;  // 1 h 2 min 3.456 s
  row.tags.Set(TagField::Artist, "AC/DC");
  struct Case {
    QString text, name;
  };
  const Case cases[] = {
      {"", "Cut_live set.mp3"},
      {"Cut_{name}", "Cut_live set.mp3"},
      {"{n} {name}", "3 live set.mp3"},
      {"{n:3}-{title}", "003-live set.mp3"},  // no title anywhere: the source's name
      {"{artist} - {n:2}", "AC_DC - 03.mp3"},
      {"at {begin}", "at 1-02-03.456.mp3"},
      {"a:b*c?\"<>|\\{name}", "a_b_c______live set.mp3"},
      {"{title}...  ", "live set.mp3"},
  };
  for (const Case& c : cases) {
    const std::optional<NameTemplate> names = NameTemplate::Parse(c.text);
    ASSERT_TRUE(names) << c.text.toStdString();
    EXPECT_EQ(PlainCutName(row, ".mp3", *names), c.name) << c.text.toStdString();
  }
  row.title = "Intro/Outro";
  EXPECT_EQ(PlainCutName(row, ".ogg", *NameTemplate::Parse("{n:2} {title}")), "03 Intro_Outro.ogg");
  EXPECT_EQ(BeginFieldText(65250), "1-05.250");
  // A long title is cut to whole characters, leaving room for the extension and a number.
  row.title = QString(300, QChar(0x00e9));
  EXPECT_LE(PlainCutName(row, ".mp3", *NameTemplate::Parse("{title}")).toUtf8().size(), 204);
}

TEST(NameTemplates, TextsThatAreNoTemplateAreRefusedWithTheReason) {
  const struct {
    QString text, reason;
  } cases[] = {{"{n", "without its \"}\""},
               {"n}", "without its \"{\""},
               {"{track}", "the field {track}"},
               {"{n:0}", "1 to 9"},
               {"{n:x}", "1 to 9"}};
  for (const auto& c : cases) {
    QString error;
    EXPECT_FALSE(NameTemplate::Parse(c.text, &error)) << c.text.toStdString();
    EXPECT_TRUE(error.contains(c.reason) && error.contains(c.text)) << error.toStdString();
  }
}

TEST(NameTemplates, ATakenTemplateNameGetsTheCutNumberInFront) {
  TempDir dir;
  const QString folder = dir.path() + "/";
  QFile(folder + "01 Intro.mp3").open(QIODevice::WriteOnly);
  EXPECT_EQ(FreeOutputPath(folder, "01 Intro.mp3"), folder + "Cut(1)_01 Intro.mp3");
  EXPECT_EQ(FreeOutputPath(folder, "01 Intro.mp3", {folder + "Cut(1)_01 Intro.mp3"}), folder + "Cut(2)_01 Intro.mp3");
  EXPECT_EQ(AlternativeCutName("Cut_x.wav", 7), "Cut(7)_x.wav");
}

}  // namespace
}  // namespace snipwave::test
