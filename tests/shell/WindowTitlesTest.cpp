// The titles the window system shows, read back from a real X server with
// xprop: every window of the program carries exactly its own title, with
// nothing of the application's name appended. Runs under xvfb-run on the
// xcb platform (the offscreen one hands no title to anyone).
#include <QDialog>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>
#include <functional>

#include "MainWindowFixture.h"

namespace snipwave::test {
namespace {

// The window's name as the X server holds it (_NET_WM_NAME, UTF-8).
QString ShownTitle(QWidget* window) {
  QProcess xprop;
  xprop.start("xprop", {"-id", QString::number(window->winId()), "_NET_WM_NAME"});
  if (!xprop.waitForFinished(30000)) return "<xprop did not end>";
  const QString out = QString::fromUtf8(xprop.readAllStandardOutput());
  const QRegularExpressionMatch quoted = QRegularExpression("= \"(.*)\"\\s*$").match(out);
  return quoted.hasMatch() ? quoted.captured(1) : "<" + out.trimmed() + ">";
}

class WindowTitles : public MainWindowFixture {
 protected:
  void SetUp() override {
    ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "run under xvfb-run with QT_QPA_PLATFORM=xcb";
    NameTheApplication();
    Options options;
    options.realDialogs = true;
    Start(std::move(options));
  }
  // The title of the modal window `open` brings up, which is then closed.
  QString ModalTitle(const std::function<void()>& open) {
    QString title = "<no modal window>";
    QTimer::singleShot(0, [&title] {
      QWidget* modal = QApplication::activeModalWidget();
      if (!modal) return;
      if (QTest::qWaitForWindowExposed(modal)) title = ShownTitle(modal);
      if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
      else modal->close();
    });
    open();
    return title;
  }
};

TEST_F(WindowTitles, EachWindowShowsExactlyItsOwnTitle) {
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window()));
  EXPECT_EQ(ShownTitle(&window()).toStdString(), "Snipwave");
  const struct {
    const char* title;
    std::function<void()> open;
  } cases[] = {
      {"Information", [&] { Click("cut"); }},  // "Please add file!"
      {"Settings", [&] { Click("set"); }},
      {"Output Directory", [&] { Click("dir"); }},
      {"About", [&] { TriggerMenuItem("About1"); }},
  };
  for (const auto& c : cases) EXPECT_EQ(ModalTitle(c.open).toStdString(), c.title);
}

}  // namespace
}  // namespace snipwave::test
