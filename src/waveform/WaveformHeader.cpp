#include "waveform/WaveformHeader.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QToolButton>

namespace snipwave {

namespace {

// Items of the follow list, in FollowMode order.
constexpr const char* kFollowTexts[] = {"Follow: page", "Follow: centred", "Follow: off"};

QToolButton* SmallButton(QWidget* parent, const char* name, const QString& text, const QString& tip) {
  auto* button = new QToolButton(parent);
  button->setObjectName(name);
  button->setText(text);
  button->setToolTip(tip);
  button->setAutoRaise(true);
  button->setFocusPolicy(Qt::NoFocus);
  return button;
}

}  // namespace

WaveformHeader::WaveformHeader(QWidget* parent) : QWidget(parent) {
  setObjectName("waveHeader");
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(4, 0, 2, 0);
  layout->setSpacing(2);

  readoutLabel_ = new QLabel(this);
  readoutLabel_->setObjectName("waveReadout");
  // The readout gives way to the controls: it never widens the strip.
  readoutLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  readoutLabel_->setTextInteractionFlags(Qt::NoTextInteraction);
  layout->addWidget(readoutLabel_, 1);

  zoomOut_ = SmallButton(this, "waveZoomOut", QStringLiteral("\u2212"), "Vertical zoom out (Ctrl+wheel)");
  gain_ = new QLabel(this);
  gain_->setObjectName("waveGain");
  gain_->setToolTip("Vertical zoom: the gain the wave is drawn with");
  zoomIn_ = SmallButton(this, "waveZoomIn", QStringLiteral("+"), "Vertical zoom in (Ctrl+wheel)");
  db_ = SmallButton(this, "waveDb", QStringLiteral("dB"), "Amplitude on a dB scale (60 dB from the middle to the edge)");
  db_->setCheckable(true);
  follow_ = new QComboBox(this);
  follow_->setObjectName("waveFollow");
  follow_->setFocusPolicy(Qt::NoFocus);
  follow_->setToolTip("How the view follows the play line while playing; scrolling stops it until you "
                      "click the wave, play again or choose here");
  for (const char* text : kFollowTexts) follow_->addItem(QString::fromLatin1(text));
  for (QWidget* w : {static_cast<QWidget*>(zoomOut_), static_cast<QWidget*>(gain_), static_cast<QWidget*>(zoomIn_),
                     static_cast<QWidget*>(db_), static_cast<QWidget*>(follow_)})
    layout->addWidget(w);

  connect(zoomOut_, &QToolButton::clicked, this, [this] {
    if (VerticalZoom) VerticalZoom(-1);
  });
  connect(zoomIn_, &QToolButton::clicked, this, [this] {
    if (VerticalZoom) VerticalZoom(1);
  });
  connect(db_, &QToolButton::toggled, this, [this](bool on) {
    if (DbScaleChosen) DbScaleChosen(on);
  });
  connect(follow_, &QComboBox::activated, this, [this](int index) {
    if (FollowChosen && index >= 0) FollowChosen(static_cast<FollowMode>(index));
  });
  ShowGain(0);
}

void WaveformHeader::SetReadout(const QString& text, const QString& shortText) {
  if (text == readout_ && shortText == shortReadout_) return;
  readout_ = text;
  shortReadout_ = shortText;
  ShowReadout();
}

void WaveformHeader::ShowReadout() {
  const QFontMetrics metrics = readoutLabel_->fontMetrics();
  const int room = readoutLabel_->width();
  const QString shown = metrics.horizontalAdvance(readout_) <= room
                            ? readout_
                            : metrics.elidedText(shortReadout_, Qt::ElideRight, room);
  readoutLabel_->setText(shown);
  readoutLabel_->setToolTip(shown == readout_ ? QString() : readout_);
}

void WaveformHeader::ShowGain(int gainDb) {
  gain_->setText(QString("+%1 dB").arg(gainDb));
}

void WaveformHeader::ShowChoices(const WaveformChoices& choices) {
  const QSignalBlocker blockDb(db_);
  const QSignalBlocker blockFollow(follow_);
  db_->setChecked(choices.dbScale);
  follow_->setCurrentIndex(static_cast<int>(choices.follow));
}

void WaveformHeader::SetLook(const QFont& skinFont, const QColor& text) {
  // The ruler's face, plain and without its letter spacing: the figures need the room.
  QFont font = skinFont;
  font.setBold(false);
  font.setLetterSpacing(QFont::AbsoluteSpacing, 0);
  for (QWidget* w : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) w->setFont(font);
  readoutLabel_->setStyleSheet(
      QString("color: rgba(%1, %2, %3, %4);").arg(text.red()).arg(text.green()).arg(text.blue()).arg(text.alpha()));
  gain_->setStyleSheet(readoutLabel_->styleSheet());
  ShowReadout();
}

void WaveformHeader::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  ShowReadout();
}

}  // namespace snipwave
