#pragma once

#include <QDialog>

#include "platform/Launcher.h"

class QLabel;
class QPushButton;
class QFrame;

namespace snipwave {

class LinkLabel;

// The about box: name, version, a two-line description and two ways to the
// product's web site (home page by the link, FAQ by "Contact us "). Created
// once and only hidden between showings; the same content every time.
class Tfm_about final : public QDialog {
  Q_OBJECT

 public:
  // Client area in pixels (grown only if the fonts need more).
  static constexpr int kClientWidth = 295;
  static constexpr int kClientHeight = 246;

  // launcher opens the web pages; mainWindow is the window the box is
  // centred over (and its parent).
  Tfm_about(ILauncher& launcher, QWidget* mainWindow);

  // The main window's about command: centres the box over the main window
  // (every time: the main window may have moved) and shows it modally;
  // returns when it has closed.
  void ShowModal();

  void lbl_webClick();
  void btn_contactClick();
  void btn_closeClick();

 private:
  ILauncher& launcher_;
  QWidget* mainWindow_;

  QLabel* Image1 = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label7 = nullptr;
  QLabel* Label5 = nullptr;
  QLabel* Label6 = nullptr;
  LinkLabel* lbl_web = nullptr;
  QFrame* Panel1 = nullptr;
  QPushButton* btn_contact = nullptr;
  QPushButton* btn_close = nullptr;
};

}  // namespace snipwave
