// The list file format: what is written reads back the same, sources beside
// the list are named relative to it, and every kind of bad input is refused
// with a message naming the file and what is wrong.
#include <gtest/gtest.h>

#include <QFile>

#include "QStringPrinter.h"
#include "TempDir.h"
#include "platform/Error.h"
#include "tracks/ListFile.h"

using namespace snipwave;
using namespace snipwave::test;

namespace {

ListFileRow Row(const QString& path, std::int64_t begin, std::int64_t end, std::int64_t length) {
  ListFileRow row;
  row.path = path;
  row.rate = 44100;
  row.begin = begin;
  row.end = end;
  row.length = length;
  return row;
}

// The message a text is refused with, or "" when it is taken.
QString Refusal(const QByteArray& text, const QString& listPath = "/lists/my list.json") {
  try {
    ParseListFile(text, listPath);
  } catch (const Error& e) {
    return QString::fromUtf8(e.what());
  }
  return {};
}

QByteArray WithRow(const char* row) {
  return QByteArray(R"({"format":"snipwave-list","version":1,"rows":[)") + row + "]}";
}

}  // namespace

TEST(ListFile, RoundTripKeepsFramesTextsAndChoicesAndNamesNearbySourcesRelatively) {
  ListDocument list;
  list.rows.push_back(Row("/lists/beside.mp3", 0, 132300, 132300));
  ListFileRow below = Row("/lists/sub dir/Grüße – take 2.ogg", 4'294'967'301, 9'007'199'254'740'991,
                          9'007'199'254'740'991);  // past 2^32 and up to 2^53 - 1
  below.rate = 48000;
  below.title = "Zweiter Teil \"live\"";
  below.tags.Set(TagField::Artist, "Ärzte");
  below.tags.Set(TagField::Track, "2/9");
  list.rows.push_back(below);
  list.rows.push_back(Row("/elsewhere/outside.wav", 17, 17, 100));
  list.selected = 1;
  list.format = 3;
  list.outputFolder = "/music/out";

  const QByteArray text = ListFileText(list, "/lists/my list.json");
  EXPECT_TRUE(text.contains(R"("path": "beside.mp3")")) << text.toStdString();
  EXPECT_TRUE(text.contains(R"("path": "sub dir/Grüße – take 2.ogg")"));
  EXPECT_TRUE(text.contains(R"("path": "/elsewhere/outside.wav")"));
  EXPECT_EQ(ParseListFile(text, "/lists/my list.json"), list);
  // Moved with its sources, the list still finds them.
  EXPECT_EQ(ParseListFile(text, "/moved/my list.json").rows[1].path, "/moved/sub dir/Grüße – take 2.ogg");
}

TEST(ListFile, BadInputIsRefusedNamingTheFileAndTheFault) {
  const QByteArray tooMany = [] {
    QByteArray rows;
    for (int i = 0; i < 102; ++i) rows += QByteArray(i ? "," : "") + R"({"path":"a.mp3","rate":8000,"length":1,"begin":0,"end":1})";
    return WithRow(rows.constData());
  }();
  const struct {
    QByteArray text;
    const char* says;
  } cases[] = {
      {"", "not JSON"},
      {"\x89PNG\r\n\x1a\n", "not JSON"},
      {R"([1,2])", "not a Snipwave list"},
      {R"({"format":"other","version":1,"rows":[]})", "\"format\" is not"},
      {R"({"format":"snipwave-list","version":2,"rows":[]})", "version 2 is not known"},
      {R"({"format":"snipwave-list","version":"1","rows":[]})", "\"version\" is not a whole number"},
      {R"({"format":"snipwave-list","version":1})", "\"rows\" is missing"},
      {WithRow(R"({"rate":44100,"length":10,"begin":0,"end":10})"), "row 1: \"path\" is missing"},
      {WithRow(R"({"path":"","rate":44100,"length":10,"begin":0,"end":10})"), "row 1: \"path\" is empty"},
      {WithRow(R"({"path":"a.mp3","rate":0,"length":10,"begin":0,"end":10})"), "\"rate\" is 0, outside"},
      {WithRow(R"({"path":"a.mp3","rate":44100,"length":10,"begin":0.5,"end":10})"), "\"begin\" is not a whole"},
      {WithRow(R"({"path":"a.mp3","rate":44100,"length":10,"begin":-1,"end":10})"), "\"begin\" is -1, outside"},
      {WithRow(R"({"path":"a.mp3","rate":44100,"length":1e300,"begin":0,"end":10})"), "\"length\" is not a whole"},
      {WithRow(R"({"path":"a.mp3","rate":44100,"length":10,"begin":0,"end":11})"), "\"end\" lies past \"length\""},
      {WithRow(R"({"path":"a.mp3","rate":44100,"length":10,"begin":6,"end":5})"), "\"begin\" lies after \"end\""},
      {WithRow(R"({"path":"a.mp3","rate":44100,"length":10,"begin":0,"end":10,"tags":[]})"), "\"tags\" is not an"},
      {WithRow(R"({"path":"a.mp3","rate":44100,"length":10,"begin":0,"end":10,"title":7})"), "\"title\" is not a text"},
      {WithRow(("{\"path\":\"a.mp3\",\"rate\":8000,\"length\":1,\"begin\":0,\"end\":1,\"title\":\"" +
                QByteArray(kMaxListText + 1, 'x') + "\"}").constData()),
       "\"title\" is longer than"},
      {tooMany, "102 rows, but the list holds at most 101"},
      {R"({"format":"snipwave-list","version":1,"rows":[],"selected":1})", "\"selected\" is 1, outside -1 to 0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.says);
    const QString message = Refusal(c.text);
    EXPECT_TRUE(message.startsWith("The list file \"/lists/my list.json\" cannot be used: ")) << message.toStdString();
    EXPECT_TRUE(message.contains(c.says)) << message.toStdString();
  }
}

TEST(ListFile, AFileLargerThanTheLimitIsRefusedUnread) {
  TempDir dir;
  const QString path = dir.file("huge.json");
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  ASSERT_TRUE(file.resize(kMaxListFileBytes + 1));  // sparse: 10 MB of zeros
  file.close();
  try {
    ReadListFile(path);
    FAIL() << "taken";
  } catch (const Error& e) {
    EXPECT_EQ(QString::fromUtf8(e.what()),
              "The list file \"" + path + "\" cannot be used: it is larger than 10 MB.");
  }
}

TEST(ListFile, AnEmptyListIsAListWhateverRowItsSelectionNames) {
  for (const char* selected : {"", R"(,"selected":-1)", R"(,"selected":0)"}) {
    SCOPED_TRACE(selected);
    const QByteArray text = QByteArray(R"({"format":"snipwave-list","version":1,"rows":[])") + selected + "}";
    EXPECT_EQ(Refusal(text), "");
    const ListDocument list = ParseListFile(text, "/lists/empty.json");
    EXPECT_TRUE(list.rows.empty());
    EXPECT_EQ(list.selected, -1);
  }
}

TEST(ListFile, AWriteThatFailsSaysWhy) {
  TempDir dir;
  QFile file(dir.file("notafolder"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  const QString path = dir.file("notafolder/list.json");
  try {
    WriteListFile(path, ListDocument{});
    FAIL() << "written";
  } catch (const Error& e) {
    EXPECT_EQ(QString::fromUtf8(e.what()), "Write list file \"" + path + "\": Not a directory");
  }
}
