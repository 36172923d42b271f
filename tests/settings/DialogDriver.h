#pragma once

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <functional>

namespace snipwave::test {

// Runs `whileOpen` inside the modal loop of a dialog that `show` opens
// (show returns when the dialog has closed). Returns true when the dialog was
// still open after `whileOpen`; it is then closed with reject() so that the
// test never hangs.
inline bool WhileShown(QDialog& dialog, const std::function<void()>& show, const std::function<void()>& whileOpen) {
  bool stillOpen = false;
  QTimer::singleShot(0, &dialog, [&] {
    whileOpen();
    QCoreApplication::processEvents();
    stillOpen = dialog.isVisible();
    if (stillOpen) dialog.reject();
  });
  show();
  return stillOpen;
}

// Lets queued events run until `done` holds, for at most `ms` milliseconds
// (for work Qt does on its own threads, such as listing a folder).
inline bool WaitUntil(const std::function<bool()>& done, int ms = 10000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

// The user picks an item of a drop-down list: the list opens, the item is
// made current and Enter takes it, as by keyboard in the open list.
inline void PickItem(QComboBox* list, int index) {
  list->showPopup();
  QAbstractItemView* view = list->view();
  view->setCurrentIndex(list->model()->index(index, list->modelColumn(), list->rootModelIndex()));
  QTest::keyClick(view, Qt::Key_Return);
  QCoreApplication::processEvents();
}

// Makes a dialog the active window so focus moves as it does for a user.
inline void Activate(QWidget& window) {
  window.activateWindow();
  QApplication::setActiveWindow(&window);
  QCoreApplication::processEvents();
}

}  // namespace snipwave::test
