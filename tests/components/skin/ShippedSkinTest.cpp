// The skin that ships beside the executable: its layout "From" offers every
// object the program binds or dispatches, leaves the plain controls' places
// free, and looks right (pictures of it are written for review, into
// $SNIPWAVE_REVIEW_DIR when set).
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QTreeWidget>
#include <QWidget>

#include "SkinClicker.h"
#include "TempDir.h"
#include "components/skin/SkinSurface.h"
#include "components/skin/TSkin.h"

namespace snipwave {
namespace {

const QStringList kDisplayObjects = {"pb", "time", "begin", "end", "alltime", "pospb", "showpos"};
const QStringList kCommands = {"dir",   "play", "pause", "stop",      "playstop", "set",    "add",
                               "del",   "clear", "up",   "down",      "cut",      "combine", "begintime",
                               "endtime", "folder", "uptime", "downtime", "help",   "file", "edit"};

// Where the main window lays its plain controls, in client pixels.
const std::vector<std::pair<const char*, QRect>> kControlPlaces = {
    {"cm_Format", QRect(380, 49, 58, 19)},
    {"Edt_dir", QRect(64, 50, 232, 19)},
    {"lv", QRect(18, 79, 525, 247)},
    {"GroupBox1", QRect(35, 106, 401, 161)},
};

QString ShippedSkinPath() { return QDir(SNIPWAVE_RUNTIME_DIR).filePath("mp3enc.skn"); }

class ShippedSkin : public ::testing::Test {
 protected:
  void SetUp() override {
    skin.LoadSkin(ShippedSkinPath());
    skin.AttachWindow(&window);
    skin.ApplyWindowSkin(&window, "From");
  }
  QRect Bounds(const QString& name) {
    ISkinObject* object = skin.GetWindowObject(&window)->FindObject(name);
    if (!object) return {};
    const SkinRect r = object->QueryElement()->GetBounds();
    return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
  }
  // The plain controls as the main window lays them on top of the skin.
  void PlaceControls() {
    auto* edit = new QLineEdit(QDir::homePath() + "/Music", &window);
    edit->setReadOnly(true);
    edit->setGeometry(kControlPlaces[1].second);
    auto* format = new QComboBox(&window);
    format->addItems({"MP3", "WAV", "WMA", "OGG"});
    format->setGeometry(kControlPlaces[0].second);
    list = new QTreeWidget(&window);
    list->setRootIsDecorated(false);
    list->setAlternatingRowColors(true);
    list->setHeaderLabels({"File name", "Range", "Length", "Status", "Size"});
    list->setGeometry(kControlPlaces[2].second);
    list->header()->resizeSection(0, 170);
    list->header()->resizeSection(1, 130);
    list->header()->resizeSection(2, 60);
    list->header()->resizeSection(3, 60);
  }

  TSkin skin;
  QWidget window;
  QTreeWidget* list = nullptr;
};

TEST_F(ShippedSkin, HasEveryBoundAndCommandObject) {
  ISkinObject* from = skin.GetWindowObject(&window);
  for (const QString& name : kDisplayObjects + kCommands) {
    ISkinObject* object = from->FindObject(name);
    ASSERT_NE(object, nullptr) << name.toStdString();
    EXPECT_EQ(object->GetName(), name);
    ASSERT_NE(object->QueryElement(), nullptr) << name.toStdString();
  }
  EXPECT_NE(from->FindObject("pb")->QuerySlider(), nullptr);
  for (const QString& name : kDisplayObjects.mid(1))
    EXPECT_NE(from->FindObject(name)->QueryText(), nullptr) << name.toStdString();
  // The waveform's place and colours, clear of the plain controls.
  ISkinObject* wave = from->FindObject("wave");
  ASSERT_NE(wave, nullptr);
  const std::optional<SkinWaveformLook> look = wave->QueryWaveformLook();
  ASSERT_TRUE(look.has_value());
  EXPECT_NE(look->beginMark, look->endMark);
  EXPECT_FALSE(from->FindObject("pb")->QueryWaveformLook().has_value());
  for (const auto& [control, place] : kControlPlaces) EXPECT_FALSE(Bounds("wave").intersects(place)) << control;
  EXPECT_FALSE(Bounds("wave").intersects(Bounds("pb")));
}

TEST_F(ShippedSkin, EveryCommandIsReachableAndHasATooltip) {
  skin::SkinSurface* surface = skin.Surface(&window);
  for (const QString& name : kCommands) {
    const QPoint centre = Bounds(name).center();
    EXPECT_FALSE(surface->ToolTipAt(centre).isEmpty()) << name.toStdString();
    ISkinObject* hit = surface->InteractiveObjectAt(centre);
    ASSERT_NE(hit, nullptr) << name.toStdString();
    EXPECT_EQ(hit->GetName(), name);
  }
}

TEST_F(ShippedSkin, LeavesThePlainControlsPlacesFree) {
  const QRect client(QPoint(0, 0), window.size());
  for (const QString& name : kDisplayObjects + kCommands) {
    const QRect bounds = Bounds(name);
    EXPECT_TRUE(client.contains(bounds)) << name.toStdString();
    for (const auto& [control, place] : kControlPlaces)
      EXPECT_FALSE(bounds.intersects(place)) << name.toStdString() << " lies under " << control;
  }
  // The progress bar grows to 523 pixels from its left edge.
  EXPECT_LE(Bounds("pospb").left() + 523, window.width());
  // The menu strip: the menus open at 12 and 160 pixels from the left, below the top.
  EXPECT_LE(Bounds("file").left(), 12);
  EXPECT_GT(Bounds("file").right(), 12);
  EXPECT_LE(Bounds("help").left(), 160);
  EXPECT_GT(Bounds("help").right(), 160);
  EXPECT_LT(Bounds("file").bottom(), 42);
  EXPECT_LT(Bounds("help").bottom(), 42);
  EXPECT_GE(window.width(), 543);
}

TEST_F(ShippedSkin, LargerWindowPlacesItemsByTheirAnchors) {
  const QSize base = window.size();
  EXPECT_EQ(window.minimumSize(), base);
  ISkinObject* from = skin.GetWindowObject(&window);
  from->FindObject("pospb")->QueryElement()->SetBounds(SkinRect{18, 562, 18 + 262, 570});  // 50 %
  from->FindObject("pospb")->QueryElement()->Redraw();
  window.show();
  window.resize(base + QSize(200, 150));
  QApplication::processEvents();
  auto placed = [&](const char* name) {
    const SkinRect r = *from->FindObject(name)->GetPlacedBounds();
    return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
  };
  const struct {
    const char* name;
    QPoint moved;
    QSize grown;
  } cases[] = {
      {"file", {0, 0}, {0, 0}},       {"add", {200, 0}, {0, 0}},     {"down", {200, 0}, {0, 0}},
      // The waveform takes the extra height first (up to 240 high).
      {"lv", {0, 0}, {200, 0}},       {"Edt_dir", {0, 0}, {0, 0}},   {"wave", {0, 0}, {200, 150}},
      {"pb", {0, 150}, {200, 0}},     {"play", {0, 150}, {0, 0}},    {"alltime", {200, 150}, {0, 0}},
      {"playstop", {200, 150}, {0, 0}}, {"showpos", {200, 150}, {0, 0}},
  };
  for (const auto& c : cases) {
    const QRect layout = Bounds(c.name);
    EXPECT_EQ(placed(c.name), QRect(layout.topLeft() + c.moved, layout.size() + c.grown)) << c.name;
  }
  // The progress bar keeps its share of the stretched groove.
  EXPECT_EQ(placed("pospb"), QRect(18, 562 + 150, 362, 8));  // 262 * 723 / 523
  EXPECT_EQ(Bounds("pospb").width(), 262) << "the program's rectangle stays in layout pixels";
  EXPECT_EQ(skin.Surface(&window)->InteractiveObjectAt(placed("add").center())->GetName(), "add");
}

TEST_F(ShippedSkin, EveryCommandClicksThroughTheWindowWithItsControls) {
  PlaceControls();
  QStringList clicked;
  SkinEvents events;
  events.OnClick = [&](ISkinObject& o) { clicked << o.GetName(); };
  skin.SetEvents(events);
  window.show();
  QApplication::processEvents();
  for (const QString& name : kCommands) test::ClickSkinObject(skin, &window, name);
  EXPECT_EQ(clicked, kCommands);
}

TEST_F(ShippedSkin, WritesAPictureForReview) {
  PlaceControls();
  for (auto [name, range, length, status] :
       {std::tuple{"Morning interview.mp3", "00:00:12 - 00:03:40", "00:03:28", "Playing"},
        std::tuple{"Guitar take 3.wav", "00:00:00 - 00:01:05", "00:01:05", "Stop"},
        std::tuple{"Street ambience.ogg", "00:00:30 - 00:02:00", "00:01:30", "Finish"}})
    list->addTopLevelItem(new QTreeWidgetItem(QStringList{name, range, length, status, "4.1 MB"}));
  list->setCurrentItem(list->topLevelItem(0));
  ISkinObject* from = skin.GetWindowObject(&window);
  auto text = [&](const char* name, const char* value) {
    from->FindObject(name)->QueryText()->SetText(value);
    from->FindObject(name)->QueryElement()->Redraw();
  };
  text("time", "00:01:47");
  text("begin", "00:00:12");
  text("end", "00:03:40");
  text("alltime", "00:06:03");
  from->FindObject("pb")->QuerySlider()->SetPosition(9600);
  from->FindObject("pb")->QueryElement()->Redraw();
  ISkinElement* bar = from->FindObject("pospb")->QueryElement();
  SkinRect r = bar->GetBounds();
  r.right = r.left + 262;
  bar->SetBounds(r);
  bar->Redraw();
  from->FindObject("showpos")->QueryElement()->SetVisible(true);
  text("showpos", "50%");
  window.show();
  QApplication::processEvents();
  // The pictures go to the test's own folder, or where SNIPWAVE_REVIEW_DIR
  // says when someone wants to look at them.
  test::TempDir temporary;
  const QString review = qEnvironmentVariable("SNIPWAVE_REVIEW_DIR");
  const QDir out(review.isEmpty() ? temporary.path() : review);
  const QImage shown = window.grab().toImage();
  ASSERT_TRUE(shown.save(out.filePath("skin-preview.png")));
  EXPECT_EQ(QImage(out.filePath("skin-preview.png")).size(), shown.size());

  // The pointer on "add", then "cut" held down; and the file menu as the
  // window pops it up.
  QWidget* surface = skin.Surface(&window);
  auto send = [&](QEvent::Type type, const QString& name, Qt::MouseButton button, Qt::MouseButtons held) {
    const QPoint at = test::SkinObjectCentre(skin, &window, name);
    QMouseEvent event(type, at, surface->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(surface, &event);
  };
  send(QEvent::MouseMove, "add", Qt::NoButton, Qt::NoButton);
  const QImage hover = window.grab(QRect(440, 40, 168, 130)).toImage();
  send(QEvent::MouseMove, "cut", Qt::NoButton, Qt::NoButton);
  send(QEvent::MouseButtonPress, "cut", Qt::LeftButton, Qt::LeftButton);
  const QImage pressed = window.grab(QRect(440, 40, 168, 130)).toImage();
  send(QEvent::MouseButtonRelease, "combine", Qt::LeftButton, Qt::NoButton);
  QMenu menu(&window);
  for (const char* item : {"Add Files", "Add Folder", "-", "Remove", "Clear ", "-", "Cut", "Join", "Stop", "-", "Exit"})
    if (QString(item) == "-") menu.addSeparator();
    else menu.addAction(item);
  menu.popup(window.mapToGlobal(QPoint(12, 42)));
  QApplication::processEvents();
  const QImage popup = menu.grab().toImage();
  menu.hide();
  QImage states(hover.width() * 2 + popup.width() + 20, std::max(hover.height(), popup.height()), QImage::Format_RGB32);
  states.fill(Qt::gray);
  QPainter painter(&states);
  painter.drawImage(0, 0, hover);
  painter.drawImage(hover.width() + 10, 0, pressed);
  painter.drawImage(hover.width() * 2 + 20, 0, popup);
  painter.end();
  ASSERT_TRUE(states.save(out.filePath("skin-preview-states.png")));
  EXPECT_EQ(QImage(out.filePath("skin-preview-states.png")).size(), states.size());
}

}  // namespace
}  // namespace snipwave
