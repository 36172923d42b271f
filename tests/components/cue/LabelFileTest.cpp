// Label files: the editors' lines read, bad lines refused with their number,
// and frames written and read back unchanged whatever the locale.
#include <gtest/gtest.h>

#include <QLocale>
#include <clocale>

#include "components/cue/LabelFile.h"
#include "platform/Error.h"

namespace snipwave {
namespace {

TEST(LabelFile, ReadsTheEditorsLines) {
  const QByteArray text =
      "\xEF\xBB\xBF"
      "0.5\t1.25\tFirst one\r\n"
      "\\\t100.000000\t2000.000000\r\n"  // frequency line of a spectral label
      "\r\n"
      "2\t2\tpoint\r\n"                   // a point marks no range
      "3.1234565\t4.0000004\tB\xC3\xA4r\tx\r\n"
      "5.\t.75e\n";
  EXPECT_THROW(ParseLabels(text), Error);  // ".75e" is not seconds
  const std::vector<Label> labels = ParseLabels(text.left(text.lastIndexOf("5.")));
  const std::vector<Label> expected = {{500000, 1250000, "First one"},
                                       {3123457, 4000000, QString::fromUtf8("Bär\tx")}};
  EXPECT_EQ(labels, expected);
  EXPECT_EQ(ParseLabels("7\t8\n"), (std::vector<Label>{{7000000, 8000000, ""}}));
}

TEST(LabelFile, BadLinesAreRefusedWithTheirNumber) {
  const struct {
    QByteArray text;
    const char* reason;
  } cases[] = {
      {"1.0\t2.0\tok\n1,5\t2,5\tcomma\n", "line 2: \"1,5\" is not a time"},
      {"1.0 2.0 spaces\n", "line 1: \"1.0 2.0 spaces\" is not start<TAB>end<TAB>label"},
      {"3\t2\tbackwards\n", "line 1: the end lies before the start"},
      {"-1\t2\tnegative\n", "line 1: \"-1\" is not a time"},
      {"99999999999\t99999999999.5\thuge\n", "is not a time"},
      {"", "no label"},
      {"4\t4\tonly a point\n", "no label"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    try {
      ParseLabels(c.text);
      ADD_FAILURE() << "accepted";
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
    }
  }
}

TEST(LabelFile, FramesRoundTripExactlyUnderADecimalCommaLocale) {
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  std::setlocale(LC_NUMERIC, "de_DE.UTF-8");  // when installed; the writer uses neither
  for (const int rate : {8000, 11025, 44100, 48000, 96000, 192000}) {
    SCOPED_TRACE(rate);
    const std::vector<LabelRow> rows = {{1, 2, "a"}, {rate - 1, 7LL * 3600 * rate + 12345, "b\tc"}};
    const QByteArray text = WriteLabels(rows, rate);
    EXPECT_FALSE(text.contains(',')) << text.constData();
    const std::vector<Label> back = ParseLabels(text);
    ASSERT_EQ(back.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
      EXPECT_EQ(MicrosecondsToFrames(back[i].beginUs, rate), rows[i].begin);
      EXPECT_EQ(MicrosecondsToFrames(back[i].endUs, rate), rows[i].end);
    }
    EXPECT_EQ(back[1].text, "b c");
  }
  std::setlocale(LC_NUMERIC, "C");
  QLocale::setDefault(QLocale::c());
}

}  // namespace
}  // namespace snipwave
