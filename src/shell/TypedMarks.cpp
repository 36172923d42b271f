#include "shell/TypedMarks.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QToolTip>
#include <variant>

#include "preview/PrecisePosition.h"
#include "preview/RangeMarking.h"
#include "preview/TypedMark.h"
#include "state/MainState.h"

namespace snipwave {

namespace {

QRect BoundsOf(const SkinBinding& binding) {
  const SkinRect r = binding.GetBounds();
  return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

// The editor: Enter and Escape are its own, whatever the window does with them.
class MarkEdit final : public QLineEdit {
 public:
  MarkEdit(QWidget* parent, std::function<bool(const QString&)> accept, std::function<void()> cancel)
      : QLineEdit(parent), accept_(std::move(accept)), cancel_(std::move(cancel)) {}

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
      accept_(text());
      return;
    }
    if (event->key() == Qt::Key_Escape) {
      cancel_();
      return;
    }
    QLineEdit::keyPressEvent(event);
  }

 private:
  std::function<bool(const QString&)> accept_;
  std::function<void()> cancel_;
};

}  // namespace

TypedMarks::TypedMarks(MainState& state, RangeMarking& marking, QWidget* window)
    : QObject(window), state_(state), marking_(marking), window_(window) {
  editor_ = new MarkEdit(
      window, [this](const QString& text) { return Accept(text); }, [this] { Close(); });
  editor_->setObjectName(QStringLiteral("edt_typedmark"));
  editor_->setPlaceholderText(QStringLiteral("h:mm:ss.mmm or #sample"));
  editor_->hide();
}

void TypedMarks::WatchSkinSurface(QWidget* surface) {
  if (surface_ == surface || !surface) return;
  surface_ = surface;
  surface->installEventFilter(this);
}

int TypedMarks::Row() const { return marking_.MarkedRow(); }

QString TypedMarks::PreciseText(const QString& objectName) const {
  const int row = objectName == "time" ? (state_.Playing ? state_.PlayingRow : state_.lv->SelectedRow()) : Row();
  if (row < 0 || row >= state_.lv->RowCount() || row >= kTrackTableSize) return {};
  const Timerec& r = state_.TrackTable[static_cast<std::size_t>(row)];
  if (objectName == "begin") return PreciseTimeText(r.BeginSample, r);
  if (objectName == "end") return PreciseTimeText(r.EndSample, r);
  return PreciseTimeText(PositionSample(state_, row, state_.pb.GetPosition(), r), r);
}

void TypedMarks::Open(bool begin) {
  const int row = Row();
  if (row < 0) return;
  editingBegin_ = begin;
  const Timerec& r = state_.TrackTable[static_cast<std::size_t>(row)];
  const SkinBinding& text = begin ? state_.begin : state_.end;
  QRect place = BoundsOf(text);
  if (place.width() < 120) place.setWidth(120);  // room for h:mm:ss.mmm
  place.moveRight(std::min(place.right(), window_->width() - 1));
  editor_->setGeometry(place);
  const std::int64_t sample = begin ? r.BeginSample : r.EndSample;
  editor_->setText(PreciseClockText(r.TotalSamples > 0 ? MulDiv64(sample, r.TotalMs, r.TotalSamples) : 0));
  editor_->setToolTip(begin ? QStringLiteral("Begin: h:mm:ss.mmm, m:ss.mmm, ss.mmm or #sample; Enter sets, Escape cancels")
                            : QStringLiteral("End: h:mm:ss.mmm, m:ss.mmm, ss.mmm or #sample; Enter sets, Escape cancels"));
  editor_->show();
  editor_->raise();
  editor_->setFocus();
  editor_->selectAll();
}

void TypedMarks::Close() {
  editor_->hide();
  if (window_->isVisible()) window_->setFocus();
}

bool TypedMarks::Accept(const QString& text) {
  const std::variant<TypedMark, QString> parsed = ParseTypedMark(text);
  if (const QString* problem = std::get_if<QString>(&parsed)) {
    state_.Dialogs->ShowInformation(*problem);
    return false;
  }
  const int row = Row();
  if (row < 0) {  // the moment passed (a job started): nothing to mark
    Close();
    return false;
  }
  const std::variant<std::int64_t, QString> sample =
      TypedMarkSample(std::get<TypedMark>(parsed), state_.TrackTable[static_cast<std::size_t>(row)]);
  if (const QString* problem = std::get_if<QString>(&sample)) {
    state_.Dialogs->ShowInformation(*problem);
    return false;
  }
  const std::int64_t at = std::get<std::int64_t>(sample);
  bool set = false;
  const auto mark = [&] { set = editingBegin_ ? marking_.SetBeginSample(at) : marking_.SetEndSample(at); };
  if (RecordEdit) RecordEdit(editingBegin_ ? QStringLiteral("Set begin") : QStringLiteral("Set end"), mark);
  else mark();
  if (set) Close();
  return set;
}

bool TypedMarks::eventFilter(QObject* watched, QEvent* event) {
  if (watched != surface_) return false;
  if (event->type() == QEvent::MouseButtonDblClick) {
    const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
    if (state_.begin.IsBound() && BoundsOf(state_.begin).contains(at)) {
      Open(true);
      return true;
    }
    if (state_.end.IsBound() && BoundsOf(state_.end).contains(at)) {
      Open(false);
      return true;
    }
  } else if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    for (const auto& [binding, name] : {std::pair{&state_.begin, "begin"}, std::pair{&state_.end, "end"},
                                        std::pair{&state_.time, "time"}}) {
      if (!binding->IsBound() || !BoundsOf(*binding).contains(help->pos())) continue;
      const QString tip = PreciseText(QString::fromLatin1(name));
      if (tip.isEmpty()) return false;  // the skin's own tip, if any
      QToolTip::showText(help->globalPos(), tip, surface_, BoundsOf(*binding));
      return true;
    }
  }
  return false;
}

}  // namespace snipwave
