#include "settings/Tfm_about.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "settings/DialogPlacement.h"
#include "settings/LinkLabel.h"
#include "settings/ProductLinks.h"
#include "settings/ProgramIcon.h"

namespace snipwave {

namespace {

QFont SmallFont(QFont font) {
  if (font.pointSizeF() > 0) font.setPointSizeF(font.pointSizeF() - 1);
  return font;
}

template <typename Widget>
Widget* Named(Widget* widget, const char* name) {
  widget->setObjectName(name);
  return widget;
}

}  // namespace

Tfm_about::Tfm_about(ILauncher& launcher, QWidget* mainWindow)
    : QDialog(mainWindow), launcher_(launcher), mainWindow_(mainWindow) {
  setObjectName("fm_about");
  setWindowTitle("About");
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

  Image1 = Named(new QLabel(this), "Image1");
  Image1->setPixmap(ProgramIconPixmap(32));
  Image1->setFixedSize(32, 32);

  Label1 = Named(new QLabel("Snipwave", this), "Label1");
  QFont bold = Label1->font();
  bold.setBold(true);
  Label1->setFont(bold);
  Label2 = Named(new QLabel("Version: ", this), "Label2");
  Label7 = Named(new QLabel("1.00", this), "Label7");
  Label5 = Named(new QLabel("Cut a new small file from a large audio file. ", this), "Label5");
  Label6 = Named(new QLabel("Marge multiple files to a large new one", this), "Label6");
  lbl_web = Named(new LinkLabel("Visit our web", this), "lbl_web");
  for (QLabel* small : {static_cast<QLabel*>(Label5), static_cast<QLabel*>(Label6), static_cast<QLabel*>(lbl_web)})
    small->setFont(SmallFont(small->font()));

  Panel1 = Named(new QFrame(this), "Panel1");
  Panel1->setFrameShape(QFrame::HLine);
  Panel1->setFrameShadow(QFrame::Sunken);
  Panel1->setFixedHeight(2);

  btn_contact = Named(new QPushButton("Contact us ", this), "btn_contact");
  btn_close = Named(new QPushButton("Close", this), "btn_close");
  btn_close->setDefault(true);

  auto* version = new QHBoxLayout;
  version->setSpacing(0);
  version->addWidget(Label2);
  version->addWidget(Label7);
  version->addStretch();

  auto* text = new QVBoxLayout;
  text->addWidget(Label1);
  text->addLayout(version);
  text->addSpacing(8);
  text->addWidget(Label5);
  text->addWidget(Label6);
  text->addSpacing(8);
  text->addWidget(lbl_web, 0, Qt::AlignLeft);
  text->addStretch();

  auto* top = new QHBoxLayout;
  top->addWidget(Image1, 0, Qt::AlignTop);
  top->addSpacing(10);
  top->addLayout(text, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btn_contact);
  buttons->addWidget(btn_close);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top, 1);
  layout->addWidget(Panel1);
  layout->addLayout(buttons);

  setFixedSize(sizeHint().expandedTo(QSize(kClientWidth, kClientHeight)));

  lbl_web->SetAction([this] { lbl_webClick(); });
  connect(btn_contact, &QPushButton::clicked, this, [this] { btn_contactClick(); });
  connect(btn_close, &QPushButton::clicked, this, [this] { btn_closeClick(); });
}

void Tfm_about::ShowModal() {
  CentreOver(*this, mainWindow_, /*clampNegative=*/false);
  exec();
}

void Tfm_about::lbl_webClick() { launcher_.OpenUrl(links::HomePage()); }
void Tfm_about::btn_contactClick() { launcher_.OpenUrl(links::FaqPage()); }
void Tfm_about::btn_closeClick() { accept(); }

}  // namespace snipwave
