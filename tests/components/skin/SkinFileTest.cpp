// Reading skin files: what a broken or missing file reports, and how the
// notation is understood.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDir>

#include "SkinTestSupport.h"
#include "components/skin/GlyphPath.h"
#include "components/skin/SkinParser.h"
#include "components/skin/TSkin.h"
#include "platform/Error.h"

namespace snipwave {
namespace {

using test::TempDir;
using test::WriteSkin;
using ::testing::HasSubstr;

const char* kMinimal =
    "skin 1\n"
    "layout From 200 100\n"
    "  button go 10 10 40 20 fill=#ff0000\n"
    "end\n";

std::string LoadError(const QString& path) {
  TSkin skin;
  try {
    skin.LoadSkin(path);
  } catch (const Error& e) {
    return e.what();
  }
  return "(no error)";
}

TEST(SkinFile, MissingFileIsAnErrorNamingTheFile) {
  TempDir dir;
  const QString path = dir.file("mp3enc.skn");
  const std::string message = LoadError(path);
  EXPECT_THAT(message, HasSubstr(QDir::toNativeSeparators(path).toStdString()));
  EXPECT_THAT(message, HasSubstr("does not exist"));
}

TEST(SkinFile, FolderInPlaceOfTheFileIsAnErrorNamingIt) {
  TempDir dir;
  const QString path = dir.file("mp3enc.skn");
  ASSERT_TRUE(QDir().mkpath(path));
  const std::string message = LoadError(path);
  EXPECT_THAT(message, HasSubstr(QDir::toNativeSeparators(path).toStdString()));
  EXPECT_THAT(message, HasSubstr("folder"));
}

TEST(SkinFile, EmptyFileHasNoLayout) {
  TempDir dir;
  EXPECT_THAT(LoadError(WriteSkin(dir, "# nothing\n")), HasSubstr("no layout"));
}

struct BrokenSkin {
  const char* text;
  int line;
  const char* reason;
};

class SkinSyntaxError : public ::testing::TestWithParam<BrokenSkin> {};

TEST_P(SkinSyntaxError, NamesFileLineAndReason) {
  TempDir dir;
  const QString path = WriteSkin(dir, GetParam().text);
  const std::string message = LoadError(path);
  EXPECT_THAT(message, HasSubstr(QDir::toNativeSeparators(path).toStdString()));
  EXPECT_THAT(message, HasSubstr("line " + std::to_string(GetParam().line) + ":"));
  EXPECT_THAT(message, HasSubstr(GetParam().reason));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SkinSyntaxError,
    ::testing::Values(
        BrokenSkin{"skin 1\n\nwindow From 10 10\n", 3, "unknown keyword \"window\""},
        BrokenSkin{"layout From 200 100\n  button go 10 10 40 20 tip=\"open\n", 2, "not closed"},
        BrokenSkin{"layout From 200 100\n  button go 10 10 40 20\n  button go 60 10 40 20\nend\n", 3, "used twice"},
        BrokenSkin{"layout From 200 100\n  button go 10 10 40 20 fil=#fff\nend\n", 2, "unknown attribute \"fil\""},
        BrokenSkin{"layout From 200 100\n  button go 10 10 40 20 glyph=nope\nend\n", 2, "unknown glyph \"nope\""},
        BrokenSkin{"layout From 200 100\n  button go 180 10 40 20\nend\n", 2, "outside the 200 x 100 window"},
        BrokenSkin{"layout From 200 100\n  text t 10 10 x 20\nend\n", 2, "whole number"},
        BrokenSkin{"layout From 200 100\n  panel 0 0 10 10 fill=#12345\nend\n", 2, "not a colour"},
        BrokenSkin{"glyph g 24 24\n  fill path M1 1 L2\nend\n", 2, "bad path data"},
        BrokenSkin{"# header\nlayout From 200 100\n  panel 0 0 10 10\n", 2, "not closed with \"end\""},
        BrokenSkin{"layout From 200 100\n  slider pb 0 0 \\\n    10 10 style=none\nend\n", 2, "unknown style"},
        BrokenSkin{"skin 2\n", 1, "unsupported skin format version"},
        BrokenSkin{"layout From 200 100\n  panel 0 0 10 10 anchor=left+middle\nend\n", 2, "not \"middle\""},
        BrokenSkin{"layout From 200 100\n  palette window=#000 shade=#111\nend\n", 2, "unknown palette role \"shade\""},
        BrokenSkin{"layout From 200 100\nend\nlayout From 100 100\nend\n", 3, "defined twice"},
        BrokenSkin{"layout From 200 100\n  icon 0 0 10 10\nend\n", 2, "needs glyph= or image="},
        BrokenSkin{"layout From 200 100\n  button go 0 0 10 10 image=missing.png\nend\n", 2, "cannot read the image"},
        BrokenSkin{"layout From 200 100\n  button go 0 0 10 10 image=/dev/null\nend\n", 2, "/dev/null\": it is not a file"},
        BrokenSkin{"layout From 200 100\n  panel 0 0 5 5\n  controls-style\n    QLineEdit { color: red;\n  end\nend\n", 3,
                   "the controls-style block is not a style sheet Qt can read"}));

// Numbers far outside what a screen can show are refused where they are read,
// before any arithmetic on them.
INSTANTIATE_TEST_SUITE_P(
    ExtremeNumbers, SkinSyntaxError,
    ::testing::Values(
        BrokenSkin{"layout From 200 100\n  button go 2147483600 10 40 20\nend\n", 2, "left must lie between -4000 and 4000"},
        BrokenSkin{"layout From 200 100\n  button go 10 10 2147483600 20\nend\n", 2, "width must lie between"},
        BrokenSkin{"layout From 200 100\n  panel 0 -2147483648 10 10\nend\n", 2, "top must lie between"},
        BrokenSkin{"layout From 200 100\n  panel 0 0 10 99999999999999999999\nend\n", 2, "height must lie between"},
        BrokenSkin{"layout From 2147483647 100\nend\n", 1, "the window width must lie between 50 and 4000"},
        BrokenSkin{"layout From 200 100\n  text t 0 0 50 20 padding=-2147483648\nend\n", 2, "padding must lie between 0 and 2000"},
        BrokenSkin{"layout From 200 100\n  slider pb 0 0 50 20 thumb-size=2147483647\nend\n", 2, "thumb-size must lie between"},
        BrokenSkin{"layout From 200 100\n  slider pb 0 0 50 20 track-height=-1\nend\n", 2, "track-height must lie between"},
        BrokenSkin{"layout From 200 100\n  button go 0 0 50 20 glyph-size=2147483647\nend\n", 2, "glyph-size must lie between"},
        BrokenSkin{"layout From 200 100\n  panel 0 0 50 20 border-width=1e300\nend\n", 2, "border-width must lie between"},
        BrokenSkin{"layout From 200 100\n  panel 0 0 50 20 radius=nan\nend\n", 2, "radius must be a number"},
        BrokenSkin{"font f \"DejaVu Sans\" 2147483647\n", 1, "the font size must lie between 4 and 200"},
        BrokenSkin{"font f \"DejaVu Sans\" 12 tracking=inf\n", 1, "tracking must be a number"},
        BrokenSkin{"glyph g 1e308 24\n", 1, "the glyph width must lie between"},
        BrokenSkin{"glyph g 24 24\n  fill circle 12 12 1e9\nend\n", 2, "the radius must lie between"},
        BrokenSkin{"glyph g 24 24\n  stroke 2 rect 0 0 -1 4\nend\n", 2, "w must lie between"},
        BrokenSkin{"glyph g 24 24\n  fill path M1 1 L 1000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000 2\nend\n",
                   2, "is out of range"},
        BrokenSkin{"glyph g 24 24\n  fill path m1 1 l 9000 0 9000 0 z\nend\n", 2, "the path reaches beyond 10000 units"}));

TEST(SkinFile, LinesMayEndWithLfCrLfOrCr) {
  for (const char* end : {"\n", "\r\n", "\r"}) {
    SCOPED_TRACE(::testing::PrintToString(end));
    QString text = QString(kMinimal) + "# comment\nlayout Two 100 \\\n  100\n  controls-style\n  QLabel { }\n  end\nend\n";
    text.replace("\n", end);
    const skin::SkinDocument doc = skin::ParseSkin(text, "inline.skn");
    ASSERT_EQ(doc.layouts.size(), 2u);
    EXPECT_NE(doc.Find("From")->Find("go"), nullptr);
    EXPECT_EQ(doc.Find("Two")->size, QSize(100, 100));
    EXPECT_EQ(doc.Find("Two")->controlsStyleSheet.trimmed(), "QLabel { }");
    QString broken = "skin 1\n\nbogus\n";
    broken.replace("\n", end);
    EXPECT_THROW(
        try { skin::ParseSkin(broken, "inline.skn"); } catch (const Error& e) {
          EXPECT_THAT(e.what(), HasSubstr("line 3: unknown keyword \"bogus\""));
          throw;
        },
        Error);
  }
}

TEST(SkinFile, ControlCharactersInAMessageAreShownEscaped) {
  TempDir dir;
  const QString path = WriteSkin(dir, QString("skin 1\nla") + QChar(0) + "yout\x1b[2J From 200 100\n");
  const std::string message = LoadError(path);
  EXPECT_THAT(message, HasSubstr("line 2: unknown keyword \"la\\x00yout\\x1B[2J\""));
  EXPECT_EQ(message.find('\0'), std::string::npos);
}

TEST(SkinFile, FailedLoadKeepsTheSkinLoadedBefore) {
  TempDir dir;
  TSkin skin;
  skin.LoadSkin(WriteSkin(dir, kMinimal, "good.skn"));
  EXPECT_THROW(skin.LoadSkin(WriteSkin(dir, "bogus\n", "bad.skn")), Error);
  QWidget window;
  skin.AttachWindow(&window);
  skin.ApplyWindowSkin(&window, "From");
  EXPECT_NE(skin.GetWindowObject(&window)->FindObject("go"), nullptr);
}

TEST(SkinFile, StylesMergeAndItemAttributesOverrideThem) {
  const skin::SkinDocument doc = skin::ParseSkin(
      "colour red #ff0000\n"
      "font small \"DejaVu Sans\" 9 bold\n"
      "style base fill=red tip=\"base tip\" radius=3\n"
      "style derived\n"
      "  style=base radius=5\n"
      "  font=small\n"
      "end\n"
      "#tight comment\n"
      "layout From 200 100   # a trailing comment\n"
      "  button go 10 10 40 20 style=derived tip=\"own tip\" \\\n"
      "         fill-hover=#00ff0080\n"
      "end\n",
      "inline.skn");
  const skin::ItemSpec* go = doc.Find("From")->Find("go");
  ASSERT_NE(go, nullptr);
  EXPECT_EQ(go->tip, "own tip");
  EXPECT_EQ(go->radius, 5);
  EXPECT_EQ(go->fill.normal.from, QColor(255, 0, 0));
  EXPECT_EQ(go->fill.hover.from, QColor(0, 255, 0, 0x80));
  EXPECT_EQ(go->font.pixelSize(), 9);
  EXPECT_EQ(go->font.weight(), QFont::Bold);
  // A state without its own paint falls back to the normal look.
  EXPECT_EQ(go->fill.For(skin::StatePaint::State::Pressed).from, QColor(0, 255, 0, 0x80));
}

TEST(SkinFile, GradientsAndShortColours) {
  const skin::SkinDocument doc = skin::ParseSkin(
      "layout From 200 100\n  background #fff/#000\n  panel 0 0 5 5 fill=#f00>#00f\nend\n", "inline.skn");
  const skin::LayoutSpec& layout = doc.layouts.front();
  EXPECT_EQ(layout.background.direction, skin::Paint::Direction::Vertical);
  EXPECT_EQ(layout.background.from, QColor(255, 255, 255));
  EXPECT_EQ(layout.items[0].fill.normal.direction, skin::Paint::Direction::Horizontal);
  EXPECT_EQ(layout.items[0].fill.normal.to, QColor(0, 0, 255));
}

TEST(SkinFile, ControlsStyleSheetIsKeptVerbatim) {
  const skin::SkinDocument doc = skin::ParseSkin(
      "layout From 200 100\n  controls-style\n    QLineEdit { color: #fff; }\n  end\nend\n", "inline.skn");
  EXPECT_EQ(doc.layouts.front().controlsStyleSheet.trimmed(), "QLineEdit { color: #fff; }");
}

TEST(GlyphPath, RelativeCommandsAndImplicitLineTos) {
  const QPainterPath path = skin::ParseGlyphPath("m2 2 4 0 0 4 h-4 z");
  EXPECT_EQ(path.boundingRect(), QRectF(2, 2, 4, 4));
  EXPECT_TRUE(path.contains(QPointF(4, 4)));
}

TEST(GlyphPath, CurvesAndCompactNumbers) {
  const QPainterPath path = skin::ParseGlyphPath("M0,0C0-5,10-5,10,0S20,5,20,0Q25-3,30 0T40 0");
  EXPECT_EQ(path.currentPosition(), QPointF(40, 0));
}

TEST(GlyphPath, MalformedDataIsRejected) {
  EXPECT_THROW(skin::ParseGlyphPath("L 1 1"), std::invalid_argument);
  EXPECT_THROW(skin::ParseGlyphPath("1 1"), std::invalid_argument);
  EXPECT_THROW(skin::ParseGlyphPath("M 1"), std::invalid_argument);
  EXPECT_THROW(skin::ParseGlyphPath("M 1 1 X 3"), std::invalid_argument);
}

}  // namespace
}  // namespace snipwave
