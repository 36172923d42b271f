// The main window on a 1600 x 1000 screen at a scale factor of 2: 800 x 500
// logical pixels, less than the skin's layout.
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <cstdlib>

#include "MainWindowFixture.h"
#include "waveform/WaveformView.h"
#include "tracks/TrackListWidget.h"

using namespace snipwave;
using namespace snipwave::test;

namespace {
// Before the application starts (the test main only fills in what is unset).
const bool kScaledScreen = [] {
  setenv("QT_SCALE_FACTOR", "2", 1);
  setenv("QT_QPA_PLATFORM", "offscreen:configfile=" SNIPWAVE_SCREEN_CONFIG, 1);
  return true;
}();

class MainWindowScaled : public MainWindowFixture {};
}  // namespace

TEST_F(MainWindowScaled, OpensWhollyOnAScreenSmallerThanItsLayout) {
  ASSERT_EQ(qgetenv("QT_SCALE_FACTOR"), "2");
  const QRect free = window().screen()->availableGeometry();
  ASSERT_EQ(free.height(), 500) << "a 1000-pixel screen at scale 2";
  ASSERT_TRUE(window().StartupDone());
  EXPECT_LE(window().minimumSize().height() + window().frameGeometry().height() - window().height(), free.height());
  EXPECT_LE(window().minimumSize().width(), free.width());
  EXPECT_TRUE(free.contains(window().frameGeometry())) << "title bar and menus on the screen";
  // The whole layout is there, drawn smaller: every control inside the window.
  const QRect client = window().rect();
  for (QWidget* control : {static_cast<QWidget*>(window().lv), static_cast<QWidget*>(window().waveform),
                           static_cast<QWidget*>(window().Edt_dir)})
    EXPECT_TRUE(client.contains(control->geometry())) << control->objectName().toStdString();
  EXPECT_LT(window().lv->geometry().bottom(), window().waveform->geometry().top());
  // And a click on a zoomed button still reaches it.
  Click("help");
  EXPECT_TRUE(window().PopupMenu3->isVisible());
  window().PopupMenu3->close();
}

TEST_F(MainWindowScaled, StoredSizeFromALargerScreenIsCutToThisOne) {
  program.reset();
  SettingsStore("Snipwave.ini").WriteInteger("Window", "Width", 1500);
  SettingsStore("Snipwave.ini").WriteInteger("Window", "Height", 1200);
  Start(Options{});
  const QRect free = window().screen()->availableGeometry();
  EXPECT_TRUE(free.contains(window().frameGeometry()));
}
