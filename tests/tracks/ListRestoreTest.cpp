// The rows a list gives back through the real reader: exact marks, titles and
// tags; sources that are gone or changed are left out and named once.
#include <gtest/gtest.h>

#include <QFile>

#include "Commands.h"
#include "QStringPrinter.h"
#include "TempDir.h"
#include "components/audio/TAudioFile2.h"
#include "tracks/ListRestore.h"

using namespace snipwave;
using namespace snipwave::test;

TEST(ListRestore, RowsComeBackExactAndGoneOrChangedSourcesAreNamedOnce) {
  TempDir dir;
  const QString a = dir.file("a.wav");
  const QString b = dir.file("b.wav");
  ASSERT_TRUE(QFile::copy(ChirpFixture("list-restore.wav", 2.0, 22050, 1), a));
  ASSERT_TRUE(QFile::copy(ChirpFixture("list-restore.wav", 2.0, 22050, 1), b));
  const std::int64_t length = 44100;  // 2 s at 22050 Hz, as sox and the reader count it
  auto row = [&](const QString& path, std::int64_t begin, std::int64_t end, std::int64_t saved) {
    ListFileRow r;
    r.path = path;
    r.rate = 22050;
    r.length = saved;
    r.begin = begin;
    r.end = end;
    return r;
  };
  ListDocument list;
  list.rows.push_back(row(a, 1, length - 7, length));
  list.rows.back().title = "Intro";
  list.rows.back().tags.Set(TagField::Artist, "Band");
  list.rows.push_back(row(dir.file("gone.wav"), 0, 10, 10));
  list.rows.push_back(row(b, 0, 10, length + 1));  // b was longer when the list was written
  list.rows.push_back(row(a, 33075, length, length));
  list.rows.push_back(row(b, 5, 10, length + 1));
  list.selected = 3;

  TAudioFile2 reader;
  const ListRows rows = RowsOfDocument(reader, list);
  EXPECT_EQ(rows.leftOut, (QStringList{dir.file("gone.wav"), b}));
  ASSERT_EQ(rows.snapshot.records.size(), 2u);
  const Timerec& first = rows.snapshot.records[0];
  EXPECT_EQ(first.FilePath, a);
  EXPECT_EQ(first.BeginSample, 1);
  EXPECT_EQ(first.EndSample, length - 7);
  EXPECT_EQ(first.TotalSamples, length);
  EXPECT_EQ(first.SampleRate, 22050);
  EXPECT_EQ(first.Title, "Intro");
  EXPECT_EQ(first.Tags.Get(TagField::Artist), "Band");
  // Texts as marking by hand leaves them: 1.5 s to 2 s.
  EXPECT_EQ(rows.snapshot.rows[1].caption, "a.wav");
  EXPECT_EQ(rows.snapshot.rows[1].cells[kRangeCell], "  00:00:01 - 00:00:02");
  EXPECT_EQ(rows.snapshot.rows[1].cells[kLengthCell], "  00:00:01");
  EXPECT_EQ(rows.snapshot.records[1].RangeSeconds, 1);
  EXPECT_EQ(rows.snapshot.selected, 1);  // the selected row, counted among the rows taken
  EXPECT_EQ(LeftOutMessage(rows.leftOut).count(QLatin1Char('\r')), 2);
}
