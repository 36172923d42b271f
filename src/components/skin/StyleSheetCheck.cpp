#include "components/skin/StyleSheetCheck.h"

#include <QApplication>
#include <QWidget>

namespace snipwave::skin {

namespace {

bool parseFailed = false;
QtMessageHandler previousHandler = nullptr;

void WatchForParseWarning(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type == QtWarningMsg && message.startsWith(QLatin1String("Could not parse"))) {
    parseFailed = true;
    return;
  }
  if (previousHandler) previousHandler(type, context, message);
}

// Puts the previous message handler back however the check ends.
struct HandlerScope {
  HandlerScope() {
    parseFailed = false;
    previousHandler = qInstallMessageHandler(WatchForParseWarning);
  }
  ~HandlerScope() { qInstallMessageHandler(previousHandler); }
};

}  // namespace

bool IsValidStyleSheet(const QString& sheet) {
  if (sheet.trimmed().isEmpty() || !qobject_cast<QApplication*>(QCoreApplication::instance())) return true;
  HandlerScope watch;
  QWidget scratch;
  scratch.setAttribute(Qt::WA_DontShowOnScreen);
  // Qt parses a widget's sheet when the widget is polished with it.
  scratch.setStyleSheet(sheet);
  scratch.ensurePolished();
  return !parseFailed;
}

}  // namespace snipwave::skin
