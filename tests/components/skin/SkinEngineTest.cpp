// The engine on a small skin of the test's own: layouts, objects, what shows
// when, and the events that real mouse input produces.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <stdexcept>

#include "CaughtExceptions.h"
#include "SkinClicker.h"
#include "SkinTestSupport.h"
#include "components/skin/SkinSurface.h"
#include "components/skin/TSkin.h"
#include "platform/Error.h"

namespace snipwave {
namespace {

using test::TempDir;
using ::testing::HasSubstr;

// Solid colours everywhere, so that pixels tell what is shown.
const char* kTestSkin = R"(skin 1
colour back #000000
font plain "DejaVu Sans" 14 bold
layout From 300 200
  background back
  button go 10 10 40 20 fill=#ff0000 fill-hover=#00ff00 fill-pressed=#0000ff tip="Go now"
  button Late 60 10 40 20 fill=#ff0000 fill-checked=#ffff00
  text label 10 40 120 24 text="hello" font=plain colour=#ffffff fill=#202020
  slider pb 10 100 214 20 thumb-size=14 track=#404040 track-fill=#00ff00 thumb=#ffffff
  progress bar 10 150 200 10 fill=#00ff00
end
layout Small 120 80
  button go 10 10 40 20 fill=#ff0000
end
)";

struct Event {
  std::string what;
  QString name;
  int a = 0, b = 0, c = 0;
};

class SkinEngine : public ::testing::Test {
 protected:
  void SetUp() override {
    skin = std::make_unique<TSkin>();
    skin->LoadSkin(test::WriteSkin(dir, kTestSkin));
    skin->AttachWindow(&window);
    skin->ApplyWindowSkin(&window, "From");
    skin->SetEvents(Recorder());
    window.show();
    QApplication::processEvents();
    test::CaughtExceptions().clear();
  }

  SkinEvents Recorder() {
    SkinEvents e;
    e.OnClick = [this](ISkinObject& o) { events.push_back({"click", o.GetName()}); };
    e.OnMouseDown = [this](ISkinObject& o, int button, int x, int y) {
      events.push_back({"down", o.GetName(), button, x, y});
    };
    e.OnScrollTrack = [this](ISkinObject& o, int pos) { events.push_back({"track", o.GetName(), pos}); };
    e.OnMouseUp = [this](ISkinObject& o, int button, int x, int y) {
      events.push_back({"up", o.GetName(), button, x, y});
    };
    return e;
  }

  ISkinObject* Object(const QString& name) { return skin->GetWindowObject(&window)->FindObject(name); }
  QImage Shot() { return window.grab().toImage().convertToFormat(QImage::Format_RGB32); }
  QColor Pixel(const QPoint& p) { return Shot().pixelColor(p); }
  void SendMouse(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
    QWidget* surface = skin->Surface(&window);
    QMouseEvent event(type, at, surface->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(surface, &event);
  }

  TempDir dir;
  QWidget window;
  std::unique_ptr<TSkin> skin;
  std::vector<Event> events;
};

TEST_F(SkinEngine, LayoutSetsTheWindowSizeAndSurfaceFillsIt) {
  EXPECT_EQ(window.size(), QSize(300, 200));
  EXPECT_EQ(skin->Surface(&window)->geometry(), window.rect());
  skin->ApplyWindowSkin(&window, "Small");
  EXPECT_EQ(window.size(), QSize(120, 80));
  EXPECT_EQ(skin->Surface(&window)->geometry(), window.rect());
  EXPECT_EQ(skin->GetWindowObject(&window)->GetName(), "Small");
  EXPECT_EQ(skin->GetWindowObject(&window)->FindObject("pb"), nullptr);
}

TEST_F(SkinEngine, ControlsAddedLaterLieOverTheSurface) {
  auto* edit = new QLineEdit(&window);
  edit->setGeometry(10, 40, 120, 24);
  edit->show();
  EXPECT_EQ(window.childAt(QPoint(20, 50)), edit);
  EXPECT_EQ(window.childAt(QPoint(20, 15)), skin->Surface(&window));
  // Applying the layout again keeps the controls on top.
  skin->ApplyWindowSkin(&window, "From");
  EXPECT_EQ(window.childAt(QPoint(20, 50)), edit);
}

TEST_F(SkinEngine, CallsOutOfOrderAreErrors) {
  TSkin fresh;
  QWidget other;
  EXPECT_THROW(fresh.AttachWindow(&other), Error);
  EXPECT_THROW(skin->ApplyWindowSkin(&other, "From"), Error);
  EXPECT_THROW(skin->GetWindowObject(&other), Error);
  EXPECT_THROW(skin->AttachWindow(nullptr), Error);
  try {
    skin->ApplyWindowSkin(&window, "from");
    FAIL() << "an unknown layout name was accepted";
  } catch (const Error& e) {
    EXPECT_THAT(e.what(), HasSubstr("\"from\""));
    EXPECT_THAT(e.what(), HasSubstr("test.skn"));
  }
}

TEST_F(SkinEngine, ObjectsAreFoundByExactNameWithTheirInterfaces) {
  EXPECT_EQ(skin->GetWindowObject(&window)->GetName(), "From");
  EXPECT_EQ(Object("missing"), nullptr);
  EXPECT_EQ(Object("Go"), nullptr);
  EXPECT_EQ(Object("late"), nullptr);
  ASSERT_NE(Object("go"), nullptr);
  EXPECT_EQ(Object("go")->GetName(), "go");
  EXPECT_EQ(Object("go")->FindObject("go"), nullptr);

  ISkinObject* pb = Object("pb");
  ASSERT_NE(pb, nullptr);
  EXPECT_NE(pb->QuerySlider(), nullptr);
  EXPECT_NE(pb->QueryElement(), nullptr);
  EXPECT_EQ(pb->QueryText(), nullptr);
  ISkinObject* label = Object("label");
  EXPECT_NE(label->QueryText(), nullptr);
  EXPECT_EQ(label->QuerySlider(), nullptr);
  EXPECT_EQ(label->QueryElement()->GetBounds(), (SkinRect{10, 40, 130, 64}));
  // The progress bar takes texts too, as every bound display object does.
  EXPECT_NE(Object("bar")->QueryText(), nullptr);
}

TEST_F(SkinEngine, TextShowsOnlyAfterRedraw) {
  const QRect area(10, 40, 120, 24);
  const QImage before = Shot().copy(area);
  ISkinObject* label = Object("label");
  label->QueryText()->SetText("a much longer text");
  EXPECT_EQ(Shot().copy(area), before);
  label->QueryElement()->Redraw();
  EXPECT_NE(Shot().copy(area), before);
}

TEST_F(SkinEngine, VisibilityChangesOnlyAfterRedraw) {
  const QPoint inside(12, 42);
  EXPECT_EQ(Pixel(inside), QColor(0x20, 0x20, 0x20));
  ISkinElement* label = Object("label")->QueryElement();
  label->SetVisible(false);
  EXPECT_EQ(Pixel(inside), QColor(0x20, 0x20, 0x20));
  label->Redraw();
  EXPECT_EQ(Pixel(inside), QColor(0, 0, 0));
  label->SetVisible(true);
  label->Redraw();
  EXPECT_EQ(Pixel(inside), QColor(0x20, 0x20, 0x20));
}

TEST_F(SkinEngine, BoundsMoveAfterRedrawAndReadBackAtOnce) {
  ISkinElement* bar = Object("bar")->QueryElement();
  EXPECT_EQ(bar->GetBounds(), (SkinRect{10, 150, 210, 160}));
  EXPECT_EQ(Pixel(QPoint(150, 155)), QColor(0, 255, 0));
  // The progress display keeps the left edge and moves the right one.
  bar->SetBounds(SkinRect{10, 150, 110, 160});
  EXPECT_EQ(bar->GetBounds(), (SkinRect{10, 150, 110, 160}));
  EXPECT_EQ(Pixel(QPoint(150, 155)), QColor(0, 255, 0));
  bar->Redraw();
  EXPECT_EQ(Pixel(QPoint(150, 155)), QColor(0, 0, 0));
  EXPECT_EQ(Pixel(QPoint(60, 155)), QColor(0, 255, 0));
  // No width: nothing of the bar is drawn.
  bar->SetBounds(SkinRect{10, 150, 10, 160});
  bar->Redraw();
  EXPECT_EQ(Pixel(QPoint(12, 155)), QColor(0, 0, 0));
}

TEST_F(SkinEngine, SliderPositionIsClampedToTheScaleAndShownAfterRedraw) {
  ISkinSlider* pb = Object("pb")->QuerySlider();
  EXPECT_EQ(pb->GetPosition(), 0);
  pb->SetPosition(25000);
  EXPECT_EQ(pb->GetPosition(), 20000);
  pb->SetPosition(-3);
  EXPECT_EQ(pb->GetPosition(), 0);
  // Middle of the groove: unplayed until the bar is redrawn at 20000.
  const QPoint groove(117, 110);
  const QColor unplayed = Pixel(groove);
  pb->SetPosition(20000);
  EXPECT_EQ(Pixel(groove), unplayed);
  Object("pb")->QueryElement()->Redraw();
  EXPECT_EQ(Pixel(groove), QColor(0, 255, 0));
}

TEST_F(SkinEngine, ClickOnACommandReportsItsObject) {
  test::ClickSkinObject(*skin, &window, "go");
  test::ClickSkinObject(*skin, &window, "Late");
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].what, "click");
  EXPECT_EQ(events[0].name, "go");
  EXPECT_EQ(events[1].name, "Late");
}

TEST_F(SkinEngine, ClicksThatAreNotOnACommandDoNothing) {
  QWidget* surface = skin->Surface(&window);
  QTest::mouseClick(surface, Qt::LeftButton, Qt::NoModifier, QPoint(280, 190));  // background
  QTest::mouseClick(surface, Qt::LeftButton, Qt::NoModifier, QPoint(20, 50));    // a text
  QTest::mouseClick(surface, Qt::RightButton, Qt::NoModifier, QPoint(30, 20));   // right button
  // Pressed on "go" but released elsewhere: cancelled, as with any button.
  QTest::mousePress(surface, Qt::LeftButton, Qt::NoModifier, QPoint(30, 20));
  QTest::mouseMove(surface, QPoint(200, 60));
  QTest::mouseRelease(surface, Qt::LeftButton, Qt::NoModifier, QPoint(200, 60));
  // A hidden command cannot be clicked.
  Object("go")->QueryElement()->SetVisible(false);
  Object("go")->QueryElement()->Redraw();
  QTest::mouseClick(surface, Qt::LeftButton, Qt::NoModifier, QPoint(30, 20));
  EXPECT_TRUE(events.empty());
}

TEST_F(SkinEngine, DraggingTheSliderReportsDownTrackUp) {
  test::DragSkinSlider(*skin, &window, "pb", 1.0, 0.0, 5);
  ASSERT_GE(events.size(), 3u);
  EXPECT_EQ(events.front().what, "down");
  EXPECT_EQ(events.front().name, "pb");
  EXPECT_EQ(events.front().a, int(Qt::LeftButton));
  EXPECT_EQ(events.front().b, 10);  // window client coordinates
  EXPECT_EQ(events.front().c, 110);
  EXPECT_EQ(events.back().what, "up");
  EXPECT_EQ(events.back().name, "pb");
  EXPECT_EQ(events.back().b, 223);
  int previous = -1;
  for (size_t i = 1; i + 1 < events.size(); ++i) {
    EXPECT_EQ(events[i].what, "track");
    EXPECT_EQ(events[i].name, "pb");
    EXPECT_GT(events[i].a, previous);
    EXPECT_LE(events[i].a, 20000);
    previous = events[i].a;
  }
  EXPECT_EQ(events[1].a, 0);
  EXPECT_EQ(previous, 20000);
  EXPECT_EQ(Object("pb")->QuerySlider()->GetPosition(), 20000);
}

TEST_F(SkinEngine, SliderFollowsThePointerBothWaysAndStopsAtTheEnds) {
  test::DragSkinSlider(*skin, &window, "pb", 0.5, 0.9);
  const int middle = Object("pb")->QuerySlider()->GetPosition();
  EXPECT_NEAR(middle, 10000, 100);
  EXPECT_EQ(events.back().what, "up");
  EXPECT_EQ(events[events.size() - 2].a, middle);
  // Past the ends of the groove the bar stays at 0.
  events.clear();
  QWidget* surface = skin->Surface(&window);
  QTest::mousePress(surface, Qt::LeftButton, Qt::NoModifier, QPoint(15, 110));
  QTest::mouseMove(surface, QPoint(-40, 110));
  QTest::mouseRelease(surface, Qt::LeftButton, Qt::NoModifier, QPoint(-40, 110));
  EXPECT_EQ(Object("pb")->QuerySlider()->GetPosition(), 0);
  for (const Event& e : events) {
    if (e.what == "track") {
      EXPECT_EQ(e.a, 0);
    }
  }
}

TEST_F(SkinEngine, HoverAndPressedLooksComeFromTheSkin) {
  const QPoint on(30, 20);
  EXPECT_EQ(Pixel(on), QColor(255, 0, 0));
  SendMouse(QEvent::MouseMove, on, Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(Pixel(on), QColor(0, 255, 0));
  SendMouse(QEvent::MouseButtonPress, on, Qt::LeftButton, Qt::LeftButton);
  EXPECT_EQ(Pixel(QPoint(30, 12)), QColor(0, 0, 255));
  SendMouse(QEvent::MouseButtonRelease, on, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(Pixel(on), QColor(0, 255, 0));
  SendMouse(QEvent::MouseMove, QPoint(200, 180), Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(Pixel(on), QColor(255, 0, 0));
}

TEST_F(SkinEngine, CheckedLookShowsAfterRedrawUntilSwitchedOff) {
  ISkinElement* late = skin->GetWindowObject(&window)->FindObject("Late")->QueryElement();
  late->SetChecked(true);
  EXPECT_EQ(Pixel(QPoint(80, 20)), QColor(255, 0, 0));
  late->Redraw();
  QApplication::processEvents();
  EXPECT_EQ(Pixel(QPoint(80, 20)), QColor(255, 255, 0));
  late->SetChecked(false);
  late->Redraw();
  QApplication::processEvents();
  EXPECT_EQ(Pixel(QPoint(80, 20)), QColor(255, 0, 0));
}

TEST_F(SkinEngine, TooltipsComeFromTheSkin) {
  EXPECT_EQ(skin->Surface(&window)->ToolTipAt(QPoint(30, 20)), "Go now");
  EXPECT_EQ(skin->Surface(&window)->ToolTipAt(QPoint(80, 20)), "");
}

TEST_F(SkinEngine, ExceptionFromAHandlerReachesTheHookAndClicksGoOn) {
  SkinEvents throwing = Recorder();
  throwing.OnClick = [this](ISkinObject& o) {
    events.push_back({"click", o.GetName()});
    throw Error("handler failed");
  };
  skin->SetEvents(throwing);
  test::ClickSkinObject(*skin, &window, "go");
  test::ClickSkinObject(*skin, &window, "go");
  EXPECT_EQ(events.size(), 2u);
  EXPECT_EQ(test::CaughtExceptions(), QStringList({"handler failed", "handler failed"}));
  test::CaughtExceptions().clear();
}

// Qt's own event code must never be unwound by an exception: the surface hands
// a handler's failure to the hook itself, even when an event reaches it
// without passing the application's notify().
TEST_F(SkinEngine, HandlerExceptionsNeverLeaveTheSurface) {
  SkinEvents throwing;
  throwing.OnClick = [](ISkinObject&) { throw Error("click failed"); };
  throwing.OnMouseDown = [](ISkinObject&, int, int, int) { throw Error("down failed"); };
  throwing.OnScrollTrack = [](ISkinObject&, int) { throw Error("track failed"); };
  throwing.OnMouseUp = [](ISkinObject&, int, int, int) { throw std::runtime_error("up failed"); };
  skin->SetEvents(throwing);
  QObject* surface = skin->Surface(&window);
  auto deliver = [&](QEvent::Type type, QPoint at, Qt::MouseButtons held) {
    QMouseEvent event(type, at, window.mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
    EXPECT_NO_THROW(surface->event(&event));
  };
  deliver(QEvent::MouseButtonPress, QPoint(30, 20), Qt::LeftButton);
  deliver(QEvent::MouseButtonRelease, QPoint(30, 20), Qt::NoButton);
  deliver(QEvent::MouseButtonPress, QPoint(20, 110), Qt::LeftButton);
  deliver(QEvent::MouseMove, QPoint(200, 110), Qt::LeftButton);
  deliver(QEvent::MouseButtonRelease, QPoint(200, 110), Qt::NoButton);
  EXPECT_EQ(test::CaughtExceptions(),
            QStringList({"click failed", "down failed", "track failed", "track failed", "up failed"}));
  test::CaughtExceptions().clear();
}

// Bounds come from the program as any int32; drawing and hit-testing such a
// rectangle must stay well defined (the sanitizer build checks the arithmetic).
TEST_F(SkinEngine, ExtremeBoundsDrawAndReadBackSafely) {
  const SkinRect extreme{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
  for (const char* name : {"go", "label", "pb", "bar"}) {
    ISkinElement* element = Object(name)->QueryElement();
    element->SetBounds(extreme);
    element->Redraw();
    const SkinRect back = element->GetBounds();
    EXPECT_LT(back.left, back.right);
    EXPECT_LT(back.top, back.bottom);
  }
  EXPECT_FALSE(Shot().isNull());
  SendMouse(QEvent::MouseButtonPress, QPoint(150, 100), Qt::LeftButton, Qt::LeftButton);
  SendMouse(QEvent::MouseButtonRelease, QPoint(150, 100), Qt::LeftButton, Qt::NoButton);
  const int position = Object("pb")->QuerySlider()->GetPosition();
  EXPECT_GE(position, 0);
  EXPECT_LE(position, 20000);
}

TEST_F(SkinEngine, HandlesStayValidAfterAnotherLayoutIsApplied) {
  ISkinObject* old = Object("label");
  skin->ApplyWindowSkin(&window, "From");
  old->QueryText()->SetText("still here");
  old->QueryElement()->Redraw();
  EXPECT_EQ(old->GetName(), "label");
  EXPECT_NE(Object("label"), old);
}

TEST_F(SkinEngine, EngineGoneLeavesThePlainWindow) {
  ISkinObject* label = Object("label");
  skin.reset();
  EXPECT_EQ(window.findChild<skin::SkinSurface*>(), nullptr);
  EXPECT_FALSE(window.grab().isNull());
  (void)label;
}

TEST_F(SkinEngine, WindowGoneLeavesHandlesHarmless) {
  auto other = std::make_unique<QWidget>();
  skin->AttachWindow(other.get());
  skin->ApplyWindowSkin(other.get(), "From");
  ISkinElement* element = skin->GetWindowObject(other.get())->FindObject("label")->QueryElement();
  other.reset();
  element->SetVisible(false);
  element->Redraw();  // no surface any more: nothing to repaint
  EXPECT_TRUE(element->GetBounds() == (SkinRect{10, 40, 130, 64}));
}

}  // namespace
}  // namespace snipwave
