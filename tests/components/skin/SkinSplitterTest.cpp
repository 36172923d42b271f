// The splitter that shares a larger window's extra height between the panes
// above and below it, and the zoom of a window smaller than its layout.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QWidget>
#include <tuple>

#include "SkinTestSupport.h"
#include "components/skin/SkinSurface.h"
#include "components/skin/TSkin.h"
#include "platform/Error.h"

namespace snipwave {
namespace {

// A list above (100 high), a pane below it (50 high, at least 30, 120 when
// there is room), a button at the bottom.
const char* kSplitSkin = R"(skin 1
layout From 300 200
  background #000000
  control list 10 10 280 100 anchor=left+right+top+split
  waveform pane 10 116 280 50 anchor=left+right+split+bottom min-height=30 preferred-height=120
  splitter split 10 111 280 4 pane=pane fill=#303030
  button go 10 170 40 20 fill=#ff0000 anchor=bottom
end
)";

class SkinSplitter : public ::testing::Test {
 protected:
  void SetUp() override {
    skin.LoadSkin(test::WriteSkin(dir, kSplitSkin));
    skin.AttachWindow(&window);
    skin.ApplyWindowSkin(&window, "From");
    SkinEvents events;
    events.OnScrollTrack = [this](ISkinObject& o, int pos) { moves << o.GetName() + "=" + QString::number(pos); };
    skin.SetEvents(events);
    window.show();
    QApplication::processEvents();
  }
  QRect Placed(const char* name) {
    const SkinRect r = *skin.GetWindowObject(&window)->FindObject(name)->GetPlacedBounds();
    return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
  }
  test::TempDir dir;
  QWidget window;
  TSkin skin;
  QStringList moves;
};

TEST_F(SkinSplitter, ExtraHeightGoesToThePaneBelowFirstThenAbove) {
  const struct {
    int extra;
    int listHeight, paneHeight;
  } cases[] = {{0, 100, 50}, {40, 100, 90}, {70, 100, 120}, {200, 230, 120}};
  for (const auto& c : cases) {
    window.resize(300, 200 + c.extra);
    QApplication::processEvents();
    EXPECT_EQ(Placed("list"), QRect(10, 10, 280, c.listHeight)) << c.extra;
    EXPECT_EQ(Placed("pane"), QRect(10, 116 + c.listHeight - 100, 280, c.paneHeight)) << c.extra;
    EXPECT_EQ(Placed("split").top(), 111 + c.listHeight - 100) << c.extra;
    EXPECT_EQ(Placed("go").top(), 170 + c.extra) << c.extra;
  }
}

TEST_F(SkinSplitter, DraggingSetsThePaneHeightWithinItsLimits) {
  window.resize(300, 400);  // 200 extra: list 230, pane 120
  QApplication::processEvents();
  skin::SkinSurface* surface = skin.Surface(&window);
  const QPoint grip = Placed("split").center();
  QTest::mousePress(surface, Qt::LeftButton, {}, grip);
  QTest::mouseMove(surface, grip - QPoint(0, 100));
  QTest::mouseRelease(surface, Qt::LeftButton, {}, grip - QPoint(0, 100));
  EXPECT_EQ(Placed("pane").height(), 220);
  EXPECT_EQ(Placed("list").height(), 130);
  EXPECT_EQ(moves, QStringList{"split=220"});
  ISkinSlider* splitter = skin.GetWindowObject(&window)->FindObject("split")->QuerySlider();
  ASSERT_NE(splitter, nullptr);
  EXPECT_EQ(splitter->GetPosition(), 220);

  // The pane keeps the height the user chose while the window shrinks, until
  // the list is back at its own height.
  for (const auto& [height, pane, list] : {std::tuple{380, 220, 110}, std::tuple{350, 200, 100}}) {
    window.resize(300, height);
    QApplication::processEvents();
    EXPECT_EQ(Placed("pane").height(), pane) << height;
    EXPECT_EQ(Placed("list").height(), list) << height;
  }

  // Dragged far down, the pane stops at its smallest height.
  window.resize(300, 400);
  QApplication::processEvents();
  const QPoint from = Placed("split").center();
  QTest::mousePress(surface, Qt::LeftButton, {}, from);
  QTest::mouseMove(surface, from + QPoint(0, 500));
  QTest::mouseRelease(surface, Qt::LeftButton, {}, from + QPoint(0, 500));
  EXPECT_EQ(Placed("pane").height(), 30);
  EXPECT_EQ(Placed("list").height(), 320);
  EXPECT_EQ(Placed("go").top(), 370) << "the rows below the panes keep to the bottom";
}

TEST_F(SkinSplitter, SmallerWindowDrawsTheWholeLayoutZoomed) {
  // As on a screen smaller than the layout: half the size shows all of it at half.
  window.setMinimumSize(1, 1);
  window.resize(150, 100);
  QApplication::processEvents();
  EXPECT_EQ(Placed("go"), QRect(5, 85, 20, 10));
  EXPECT_EQ(Placed("list"), QRect(5, 5, 140, 50));
  // Wider than the zoomed layout: the extra width stretches as usual.
  window.resize(200, 100);
  QApplication::processEvents();
  EXPECT_EQ(Placed("list"), QRect(5, 5, 190, 50));
  skin::SkinSurface* surface = skin.Surface(&window);
  ISkinObject* hit = surface->InteractiveObjectAt(Placed("go").center());
  ASSERT_NE(hit, nullptr);
  EXPECT_EQ(hit->GetName(), "go");
  EXPECT_EQ(surface->InteractiveObjectAt(QPoint(60, 90)), nullptr) << "the unzoomed place of go is empty";
}

TEST(SkinSplitterFile, MistakesAreNamedWithTheirLine) {
  const struct {
    const char* items;
    const char* message;
  } cases[] = {
      {"splitter s 10 111 280 4 pane=nothing", "unknown pane \"nothing\""},
      {"waveform w 10 116 280 50 anchor=bottom\n  splitter s 10 111 280 4 pane=w", "must be anchored split+bottom"},
      {"waveform w 10 116 280 50 anchor=split+bottom\n  splitter s 10 111 280 4", "needs pane="},
      {"waveform w 10 116 280 50 anchor=split+bottom min-height=60", "min-height cannot exceed"},
      {"panel 10 10 20 20 anchor=top+split+bottom", "not both"},
      {"button b 10 10 20 20 pane=x", "only a splitter takes pane="},
  };
  test::TempDir dir;
  for (const auto& c : cases) {
    const QString text = QString("layout From 300 200\n  %1\nend\n").arg(c.items);
    TSkin skin;
    try {
      skin.LoadSkin(test::WriteSkin(dir, text));
      ADD_FAILURE() << "accepted: " << c.items;
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find("line "), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace snipwave
